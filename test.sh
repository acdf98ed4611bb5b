#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test with CTest.
#   ./test.sh          normal build in build/
#   ./test.sh --asan   AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/
#   ./test.sh --tsan   ThreadSanitizer build in build-tsan/; a race report fails its test
#   ./test.sh --fuzz   libFuzzer targets (clang-14) in build-fuzz/, each run for a short smoke
set -euo pipefail
cd "$(dirname "$0")"

if [ "${1:-}" = "--fuzz" ]; then
  ./tools/install-deps.sh
  cmake -S . -B build-fuzz -G Ninja -DTWG_WERROR=ON -DTWG_FUZZ=ON -DTWG_BUILD_TESTS=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
  cmake --build build-fuzz -j "$(nproc)" --target twg_fuzzers
  cd build-fuzz
  exec ctest -L fuzz --output-on-failure -j "$(nproc)"
fi

build=build
flags=()
if [ "${1:-}" = "--asan" ]; then
  build=build-asan
  flags+=(-DTWG_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:halt_on_error=1"
  export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
elif [ "${1:-}" = "--tsan" ]; then
  build=build-tsan
  flags+=(-DTWG_TSAN=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo)
  # The first report ends the process with exit code 66, so its test fails.
  export TSAN_OPTIONS="halt_on_error=1:exitcode=66:history_size=4:second_deadlock_stack=1:suppressions=$PWD/tests/tsan.supp"
  # glib's slice allocator hands its blocks between threads under a lock the checker cannot see.
  export G_SLICE=always-malloc
else
  flags+=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
fi

./tools/install-deps.sh
cmake -S . -B "$build" -G Ninja -DTWG_WERROR=ON "${flags[@]}" >/dev/null
cmake --build "$build" -j "$(nproc)"
export QT_QPA_PLATFORM=offscreen LC_ALL=C
cd "$build"
ctest --output-on-failure -j "$(nproc)" --timeout 300

#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program from the build folder.
#   ./run.sh [ARGS]                          on the converters plugged into this computer
#   ./run.sh --simulate [SCENARIO] [ARGS]    on simulated converters (default scenario:
#                                            tools/sim/converters.json), from build/sim/bin,
#                                            whose plug-in carries synthetic firmware packages
set -euo pipefail
cd "$(dirname "$0")"

program=./build/bin/vantorel
if [ "${1:-}" = "--simulate" ]; then
  shift
  program=./build/sim/bin/vantorel
  scenario=tools/sim/converters.json
  if [ "$#" -gt 0 ] && [[ "$1" == *.json ]]; then
    scenario=$1
    shift
  fi
  [ -f "$scenario" ] || { echo "no scenario file: $scenario" >&2; exit 2; }
  export TWG_USB_SIM
  TWG_USB_SIM=$(cd "$(dirname "$scenario")" && pwd)/$(basename "$scenario")
fi

./tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"
exec "$program" "$@"

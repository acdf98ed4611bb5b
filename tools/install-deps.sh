#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when any is missing.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config git python3
  # The build links with lld when it is there: several times faster than the default linker.
  lld
  qtbase5-dev qtbase5-dev-tools
  zlib1g-dev libusb-1.0-0-dev
  libgtest-dev libgmock-dev
  fonts-open-sans
  # The build details' fixed-pitch font that tests/shell/DialogsTest.cpp checks.
  fonts-dejavu-core
  umockdev libumockdev-dev usbutils fxload
  # A real DFU host for the simulated STM32 bootloader (it brings dfu-suffix).
  dfu-util
  sigrok-firmware-fx2lafw binutils
  # The benchmarks (tests/bench): ociobakelut to compare with, /usr/bin/time for peak memory.
  opencolorio-tools time
  # ./test.sh --fuzz: clang-14 and its libFuzzer and sanitizer runtimes.
  clang-14 libclang-rt-14-dev
  # Tools only, never run by the build: tools/artwork/make_artwork.py redraws the checked-in PNGs.
  python3-pil
  # The unicast DNS-SD tests answer from their own responder, tests/discovery/unicast_responder.py.
  python3
  # DNS-SD discovery runs avahi-core inside the program; the network-namespace tests answer from
  # their own avahi-daemon and build their namespaces with ip.
  libavahi-core-dev avahi-daemon iproute2
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null 2>&1 || { echo "Need root or sudo to install: ${missing[*]}" >&2; exit 1; }
  SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"

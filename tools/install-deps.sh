#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the simulator use.
# Idempotent: packages already present are left alone.
set -euo pipefail

packages=(
  # toolchain
  build-essential g++ clang libclang-rt-14-dev cmake ninja-build pkg-config git ccache
  # product libraries
  libpng-dev libfreetype-dev libusb-1.0-0-dev libasound2-dev libopus-dev
  libssl-dev libglib2.0-dev
  # fonts (PT Sans stands in for the two PT faces under /opt/fonts)
  fonts-dejavu-core fonts-dejavu-extra fonts-paratype
  # tests and benchmarks
  libgtest-dev libgmock-dev googletest libbenchmark-dev libturbojpeg0-dev
  # the spectrum benchmark's baseline (linked by that benchmark only)
  libfftw3-dev
  # kestra-sim's page (the HTTP library) and its browser test (headless
  # Chromium driven through its DevTools protocol)
  libcpp-httplib-dev chromium python3-websocket
  # the sandbox's shell stand-ins and the port tests
  coreutils procps util-linux
  # the Debian package and its test (dpkg-deb, systemd-analyze, file)
  systemd file
  # the board's build: cross compiler, user-mode emulator for its unit tests,
  # and the armhf builds of the libraries through multiarch
  g++-arm-linux-gnueabihf qemu-user
  libpng-dev:armhf libfreetype-dev:armhf libusb-1.0-0-dev:armhf libasound2-dev:armhf
  libopus-dev:armhf libssl-dev:armhf libglib2.0-dev:armhf
  libgtest-dev:armhf libgmock-dev:armhf libturbojpeg0-dev:armhf libstdc++6:armhf
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
dpkg --print-foreign-architectures | grep -qx armhf || $SUDO dpkg --add-architecture armhf
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"

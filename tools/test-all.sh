#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test: the ordinary build,
# an address/undefined-sanitizer build, a thread-sanitizer run of the system
# tests, and short fuzz runs of every parser of outside input.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh

jobs=$(nproc)
# System tests mostly wait on the unit's own pauses, so more of them than
# cores run side by side.
parallel=$((jobs * 4))
FUZZ_SECONDS=${FUZZ_SECONDS:-15}
TSAN_TESTS=${TSAN_TESTS:-'Roads.OperatorTransmissionStartsATuneThatIsStoredAndRecalled:Remote.TwoUnitsJoinAgainAndRelayCatStatusAndParameters:RemoteMedia.*:RemoteMedia/TwoUnits.*/Raw:Keys.ErrorResetPairedKeysCopyAndResetOfBanks'}

step() { printf '\n==== %s\n' "$*"; }

step "build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"

step "tests"
ctest --test-dir build -j"$parallel" --output-on-failure --timeout 900

step "the board: armhf cross-build, its unit tests under qemu-arm, its package"
# The unit tests that wait on real time get a second run if the emulation was
# too slow for them once (CMakePresets.json).
cmake --preset armhf >/dev/null
cmake --build --preset armhf -j"$jobs"
# `file` names the EABI and the hard-float loader; the ELF header the float ABI.
file build-armhf/kestra | grep 'ELF 32-bit LSB .*ARM, EABI5.*/lib/ld-linux-armhf'
readelf -h build-armhf/kestra | grep 'hard-float ABI'
ctest --preset armhf -j"$jobs"
(cd build-armhf && cpack -G DEB -B package >/dev/null)
dpkg-deb -f build-armhf/package/kestra_*_armhf.deb Package Version Architecture
ls -l build-armhf/package/kestra_*_armhf.deb

step "address and undefined-behaviour sanitizers (unit tests, fuzz seeds)"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DKESTRA_SANITIZE=address,undefined >/dev/null
cmake --build build-asan -j"$jobs"
ctest --test-dir build-asan -L unit -j"$jobs" --output-on-failure --timeout 900

step "thread sanitizer (the whole unit on the tune road, two units joined, remote audio, the keys)"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTRA_SANITIZE=thread >/dev/null
cmake --build build-tsan -j"$jobs" --target kestra-sim kestra_system_tests
# A report makes kestra-sim exit with 66, which fails the test.
TSAN_OPTIONS="halt_on_error=1 exitcode=66 suppressions=$PWD/tests/tsan.supp" \
  build-tsan/kestra_system_tests --gtest_filter="$TSAN_TESTS"

if ls tests/fuzz/*.cpp 2>/dev/null | grep -vq replay_main; then
  step "fuzzing, ${FUZZ_SECONDS}s per target"
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKESTRA_FUZZ=ON -DKESTRA_SANITIZE=address,undefined >/dev/null
  cmake --build build-fuzz -j"$jobs"
  for fuzzer in build-fuzz/fuzz/fuzz_*; do
    name=$(basename "$fuzzer" | sed 's/^fuzz_//')
    work=$(mktemp -d)
    "$fuzzer" -max_total_time="$FUZZ_SECONDS" -print_final_stats=0 "$work" "tests/fuzz/corpus/$name" \
      2>&1 | tail -n 2
    rm -rf "$work"
  done
fi
step "all tests passed"

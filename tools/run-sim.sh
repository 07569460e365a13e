#!/usr/bin/env bash
# Installs what is needed, builds, and runs the whole unit against its
# simulated hardware; kestra-sim prints the address of the unit's page
# (http://127.0.0.1:8800/ unless that port is taken). Arguments go to
# kestra-sim (see README.md).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target kestra kestra-sim
exec build/kestra-sim "$@"

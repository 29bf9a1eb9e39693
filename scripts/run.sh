#!/usr/bin/env bash
# Installs what is missing, builds Nimbolt and runs its main job. Until the desktop program
# exists, the main job is the script console runner on the bundled example.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
build/tools/nimbolt-script examples/clock-hands.ns

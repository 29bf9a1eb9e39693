#!/usr/bin/env bash
# Installs what is missing, builds Nimbolt and runs its main job on the bundled example.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
echo "Built: the script runtime library and its tests (the desktop program is not built yet)."

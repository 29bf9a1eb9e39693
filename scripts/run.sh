#!/usr/bin/env bash
# Installs what is missing, builds Nimbolt and runs its main job: the desktop clock on the
# display. Without a display it says so and draws the bundled clock into a PNG instead.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec build/src/app/nimbolt
fi
picture=build/nimbolt-clock.png
echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): drawing the bundled clock into $picture instead."
build/tools/nimbolt-render build/src/app/clock.dat/start.nbm -o "$picture"
echo "Wrote $picture"

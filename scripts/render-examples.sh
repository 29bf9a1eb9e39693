#!/usr/bin/env bash
# Renders every example document into docs/images, the pictures the authors' guide shows, and
# records what nimbolt-render wrote on standard error beside the arguments. Each picture has an
# arguments file examples/FOLDER/NAME.args (one argument a line, the document first, run in the
# example's folder); it becomes docs/images/NAME.png and examples/FOLDER/NAME.err. The example
# tests (tests/examples) render the same arguments and compare with both files.
#
# Usage: bash scripts/render-examples.sh          (NIMBOLT_BUILD names the build folder; build/)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${NIMBOLT_BUILD:-$root/build}"
case "$build" in /*) ;; *) build="$root/$build" ;; esac

if [ ! -f "$build/build.ninja" ] && [ ! -f "$build/Makefile" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNIMBOLT_BENCH=OFF
fi
cmake --build "$build" --target nimbolt-render -j2
render="$build/tools/nimbolt-render"

export QT_QPA_PLATFORM=offscreen
mkdir -p "$root/docs/images"
count=0
for args in "$root"/examples/*/*.args; do
    folder="$(dirname "$args")"
    name="$(basename "$args" .args)"
    mapfile -t arguments < <(grep -v '^$' "$args")
    picture="$root/docs/images/$name.png"
    (cd "$folder" && "$render" "${arguments[@]}" -o "$picture" 2>"$folder/$name.err" >/dev/null)
    echo "docs/images/$name.png"
    count=$((count + 1))
done
echo "$count pictures rendered"

#!/usr/bin/env bash
# Times each benchmark program on nimbolt-script and on two other small script engines (MuJS and
# Duktape, Debian packages mujs and duktape), running the same file with an Echo function
# prepended for them, and prints the best of three runs side by side with the ratios. Times are
# user processor time, which other work on the machine hardly changes (wall-clock time does).
# Usage: bench/compare-engines.sh [runs]
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh bench
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INTERPROCEDURAL_OPTIMIZATION=ON -DNIMBOLT_TESTS=OFF -DNIMBOLT_GUI=OFF >/dev/null
cmake --build build-bench --target nimbolt-script >/dev/null

runs=${1:-3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Best user processor time in seconds of $runs runs of the command.
best_time() {
    local best="" t
    for _ in $(seq "$runs"); do
        t=$( { TIMEFORMAT=%3U; time "$@" >/dev/null 2>&1; } 2>&1 )
        if [ -z "$best" ] || [ "$(echo "$t < $best" | bc -l)" = 1 ]; then best=$t; fi
    done
    printf '%.3f' "$best"
}

printf '%-22s %10s %10s %10s %12s %12s\n' program nimbolt mujs duktape mujs/nimbolt duk/nimbolt
for program in bench/scripts/*.ns; do
    name=$(basename "$program" .ns)
    { echo 'function Echo(x) { print(x); }'; cat "$program"; } >"$work/$name.js"
    ours=$(best_time build-bench/tools/nimbolt-script "$program")
    mujs_time=$(best_time mujs "$work/$name.js")
    duk_time=$(best_time duk "$work/$name.js")
    printf '%-22s %10s %10s %10s %12.2f %12.2f\n' "$name" "$ours" "$mujs_time" "$duk_time" \
        "$(echo "$mujs_time / $ours" | bc -l)" "$(echo "$duk_time / $ours" | bc -l)"
done

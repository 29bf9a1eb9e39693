#!/usr/bin/env bash
# Times the scripts that test how the engine scales with many names and how much memory a small
# script can take, and prints each one's wall-clock and processor time, peak resident memory and
# what it printed (its last line of output or error):
#   identifiers        100,000 distinct global variables, each assigned and read once
#   identifiers-parse  the same statements inside a function that is never called (parse only)
#   array-names        100,000 named entries stored in one array and read back
#   big-index          one store at the largest index an array grows to
#   big-index-64       the same store in 64 arrays kept alive together
#   string-doubling    a string doubled until the engine refuses it
# Usage: bench/script-limits.sh [path to nimbolt-script]   (builds build-bench when none is given)
set -euo pipefail
cd "$(dirname "$0")/.."

runner=${1:-}
if [ -z "$runner" ]; then
    cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNIMBOLT_TESTS=OFF -DNIMBOLT_GUI=OFF >/dev/null
    cmake --build build-bench --target nimbolt-script >/dev/null
    runner=build-bench/tools/nimbolt-script
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

count=100000
{
    for ((i = 0; i < count; i++)); do echo "v$i = $i;"; done
    echo "total = 0;"
    for ((i = 0; i < count; i += 1)); do echo "total = total + v$i;"; done
    echo "Echo(total);"
} >"$work/identifiers.ns"
{
    echo "function neverCalled() {"
    for ((i = 0; i < count; i++)); do echo "v$i = $i;"; done
    echo "}"
    echo "Echo(\"parsed\");"
} >"$work/identifiers-parse.ns"
cat >"$work/array-names.ns" <<SCRIPT
var a = new Array();
for (var i = 0; i < $count; i++)
    a["name" + i] = i;
var total = 0;
for (var j = 0; j < $count; j++)
    total = total + a["name" + j];
Echo(a.length, total);
SCRIPT
cat >"$work/big-index.ns" <<'SCRIPT'
var a = new Array();
a[16777215] = 1;
Echo(a.length, a[16777215], a[0]);
SCRIPT
cat >"$work/big-index-64.ns" <<'SCRIPT'
var all = new Array();
for (var i = 0; i < 64; i++) {
    var a = new Array();
    a[16777215] = i;
    all[i] = a;
}
Echo(all.length, all[63][16777215]);
SCRIPT
cat >"$work/string-doubling.ns" <<'SCRIPT'
var s = "x";
for (var i = 0; i < 31; i++)
    s = s + s;
Echo("not reached");
SCRIPT

printf '%-18s %9s %9s %12s  %s\n' script seconds "cpu s" "peak RSS MB" "last line"
for name in identifiers identifiers-parse array-names big-index big-index-64 string-doubling; do
    if [ "$name" = big-index-64 ] && [ "${NIMBOLT_BENCH_SKIP_64:-}" = 1 ]; then
        continue
    fi
    /usr/bin/time -f '%e %U %S %M' -o "$work/time" "$runner" "$work/$name.ns" >"$work/out" 2>"$work/err" || true
    read -r seconds user system kilobytes < <(tail -n 1 "$work/time")
    last=$(cat "$work/out" "$work/err" | tail -n 1)
    printf '%-18s %9s %9.2f %12d  %s\n' "$name" "$seconds" "$(echo "$user + $system" | bc -l)" "$((kilobytes / 1024))" "$last"
done

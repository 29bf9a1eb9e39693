#!/usr/bin/env bash
# The cost goals in one run, side by side, as one Markdown table: the script engine against MuJS
# (bench/compare-engines.sh), then idle processor time against `xclock -update 1`, memory against
# a bare Qt window that draws a line of text, and start-up against that window, all on one virtual
# X server with a session bus. Builds Release builds first.
# Usage: bench/goals.sh [SECONDS [STARTS]]   (defaults: 120 s of idling, 10 starts)
set -euo pipefail
cd "$(dirname "$0")/.."

. bench/release-build.sh nimbolt nimbolt_clock_data bare-window
engines=$(mktemp)
trap 'rm -f "$engines"' EXIT
bench/compare-engines.sh | tee "$engines"
echo
exec python3 bench/desktop_cost.py goals "$build" "${1:-120}" "${2:-10}" "$engines"

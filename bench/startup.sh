#!/usr/bin/env bash
# Times nimbolt with the bundled clock and bench/BareWindow.cpp (a bare Qt program showing one
# picture) from process start to the end of their first paint on a virtual X server, and prints
# the medians of 10 (or STARTS) starts in wall and processor time. Builds a Release build in
# build-desktop-bench (or NIMBOLT_BENCH_BUILD) first.
# Usage: bench/startup.sh [STARTS]
set -euo pipefail
cd "$(dirname "$0")/.."

. bench/release-build.sh nimbolt nimbolt_clock_data bare-window
exec python3 bench/desktop_cost.py startup "$build" "${1:-10}"

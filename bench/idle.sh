#!/usr/bin/env bash
# Runs the bundled clock in nimbolt beside `xclock -update 1` on a virtual X server for 60 s
# (or SECONDS), with each DOCUMENT in one more nimbolt beside them, and prints each one's
# processor time, memory and wakeups per thread, the screen areas a tick of nimbolt sends to the
# X server, and nimbolt's memory under GNOME and Xfce settings with the GTK libraries it maps.
# Builds a Release build in build-desktop-bench (or NIMBOLT_BENCH_BUILD) first.
# Usage: bench/idle.sh [SECONDS [DOCUMENT...]]
set -euo pipefail
cd "$(dirname "$0")/.."

. bench/release-build.sh nimbolt nimbolt_clock_data
exec python3 bench/desktop_cost.py idle "$build" "${1:-60}" "${@:2}"

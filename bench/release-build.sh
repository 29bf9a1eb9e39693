# Sourced by the desktop benchmarks: installs what they need and builds the given targets in a
# Release build in build-desktop-bench (or NIMBOLT_BENCH_BUILD), whose folder it leaves in $build.
# Usage (from the top of the tree): . bench/release-build.sh TARGET...
scripts/install-deps.sh bench
build=${NIMBOLT_BENCH_BUILD:-build-desktop-bench}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DNIMBOLT_TESTS=OFF >/dev/null
cmake --build "$build" --target "$@" >/dev/null

#!/usr/bin/env bash
# Builds the drawing benchmarks in Release into build-perf/ (or BUILD_DIR)
# and runs them: each primitive, the traffic and one whole frame of play,
# every one as a ratio to a memcpy of one frame measured in the same run.
# Arguments go to the benchmark (e.g. --benchmark_repetitions=20,
# --benchmark_filter=Darken, --benchmark_out=FILE.json).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-perf}
bash "$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release ${CMAKE_EXTRA_ARGS:-} >/dev/null
log="$build/bench-build.log"
cmake --build "$build" -j"$(nproc)" --target frame_bench >"$log" 2>&1 || { cat "$log"; exit 1; }
echo "machine: $(lscpu | sed -n 's/^Model name: *//p'), $(nproc) cores; load average $(cut -d' ' -f1-3 /proc/loadavg)"
exec "$build/frame_bench" "$@"

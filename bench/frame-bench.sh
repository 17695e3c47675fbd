#!/usr/bin/env bash
# Builds the drawing benchmarks in Release into build-perf/ (or BUILD_DIR;
# the preset "perf" of CMakePresets.json) and runs them: each primitive,
# the traffic and one whole frame of play, every one as a ratio to a memcpy
# of one frame measured in the same run. Arguments go to the benchmark
# (e.g. --benchmark_repetitions=20, --benchmark_filter=Darken,
# --benchmark_out=FILE.json).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/presets.sh"
build=${BUILD_DIR:-$root/build-perf}
bash "$root/scripts/setup.sh"
configure_preset perf "$build" ${CMAKE_EXTRA_ARGS:-}
build_folder_quietly "$build" frame_bench
echo "machine: $(lscpu | sed -n 's/^Model name: *//p'), $(nproc) cores; load average $(cut -d' ' -f1-3 /proc/loadavg)"
exec "$build/frame_bench" "$@"

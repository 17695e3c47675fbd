#!/usr/bin/env bash
# Installs what is missing and builds the game, its tools and its tests in
# Release into build/ (or the folder given in BUILD_DIR).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
build=${BUILD_DIR:-$root/build}
# Everything, also where scripts/play.sh configured the game alone before.
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVEXLO_TESTS=ON -DVEXLO_BENCH=ON -DVEXLO_TOOLS=ON -DVEXLO_BOARD=ON \
  -DCMAKE_UNITY_BUILD=OFF \
  ${CMAKE_EXTRA_ARGS:-} >/dev/null
cmake --build "$build" -j"$(nproc)"

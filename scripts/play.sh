#!/usr/bin/env bash
# Installs what building and running the game needs (and nothing for the
# tests or tools), builds the game alone in Release into build/ (or the
# folder given in BUILD_DIR) and starts it from the repository root.
# Arguments go to the game (vexlo-race --help lists them). The build is a
# unity build: each library compiled as one file, so that SDL's and the
# standard library's headers are read once a library rather than once a
# source, which takes less than half the processor time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh" play
build=${BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVEXLO_TESTS=OFF -DVEXLO_BENCH=OFF -DVEXLO_TOOLS=OFF -DVEXLO_BOARD=OFF \
  -DCMAKE_UNITY_BUILD=ON \
  ${CMAKE_EXTRA_ARGS:-} >/dev/null
cmake --build "$build" -j"$(nproc)" --target vexlo-race
cd "$root"
exec "$build/vexlo-race" "$@"

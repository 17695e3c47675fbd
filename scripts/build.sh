#!/usr/bin/env bash
# Installs what is missing and builds the game, its tools and its tests in
# Release into build/ (or the folder given in BUILD_DIR).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
build=${BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release ${CMAKE_EXTRA_ARGS:-} >/dev/null
cmake --build "$build" -j"$(nproc)"

#!/usr/bin/env bash
# Installs what building and running the game needs (and nothing for the
# tests or tools), builds the game alone in Release into build/ (or the
# folder given in BUILD_DIR) and starts it from the repository root.
# Arguments go to the game (vexlo-race --help lists them). The build is the
# preset "game" of CMakePresets.json: a unity build, each library compiled
# as one file, so that SDL's and the standard library's headers are read
# once a library rather than once a source, which takes less than half the
# processor time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/presets.sh"
bash "$root/scripts/setup.sh" play
build=${BUILD_DIR:-$root/build}
configure_preset game "$build" ${CMAKE_EXTRA_ARGS:-}
build_folder "$build" vexlo-race
cd "$root"
exec "$build/vexlo-race" "$@"

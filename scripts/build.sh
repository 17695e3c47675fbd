#!/usr/bin/env bash
# Installs what is missing and builds the game, its tools and its tests in
# Release into build/ (or the folder given in BUILD_DIR): the preset "all"
# of CMakePresets.json, also where scripts/play.sh configured the game alone
# before.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/presets.sh"
no_arguments "usage: scripts/build.sh (no arguments; into build/, or BUILD_DIR)" "$@"
bash "$root/scripts/setup.sh"
build=${BUILD_DIR:-$root/build}
configure_preset all "$build" ${CMAKE_EXTRA_ARGS:-}
build_folder "$build"

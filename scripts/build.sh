#!/usr/bin/env bash
# Installs what is missing and builds the game, its tools and its tests in
# Release into build-all/ (or the folder given in BUILD_DIR): the preset
# "all" of CMakePresets.json. CMAKE_EXTRA_ARGS is added to the configure
# line.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/presets.sh"
no_arguments "usage: scripts/build.sh (no arguments; into build-all/, or BUILD_DIR)" "$@"
bash "$root/scripts/setup.sh"
build=${BUILD_DIR:-$root/build-all}
configure_preset all "$build" ${CMAKE_EXTRA_ARGS:-}
build_folder "$build"

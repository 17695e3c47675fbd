#!/usr/bin/env bash
# Measures the real game in a window on a private X server against a
# minimal SDL program run the same way (bench/minimal_sdl.cpp): the pace of
# its updates, its processor time, its memory and its start-up, printed as
# one table. See bench/measure_game/__main__.py for how each figure is
# taken.
#
#   bash bench/measure-game.sh [--seconds 20] [--rounds 1] [--startups 5]
#                              [--screen 1920x1080] [--env NAME=VALUE]...
#
# Builds in Release into build-perf/ (or BUILD_DIR; the preset "perf" of
# CMakePresets.json) first. Needs Xvfb and xdotool (scripts/setup.sh
# installs them). Run it on a quiet machine: the figures are of the time the
# programs get, and other work takes it away.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/presets.sh"
build=${BUILD_DIR:-$root/build-perf}
bash "$root/scripts/setup.sh"
configure_preset perf "$build" ${CMAKE_EXTRA_ARGS:-}
build_folder_quietly "$build" vexlo-race replay minimal_sdl present_probe
exec python3 "$root/bench/measure_game" --build "$build" --root "$root" "$@"

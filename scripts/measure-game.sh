#!/usr/bin/env bash
# Measures the real game in a window on a private X server against a
# minimal SDL program run the same way (bench/minimal_sdl.cpp): the pace of
# its updates, its processor time, its memory and its start-up, printed as
# one table. See scripts/measure_game.py for how each figure is taken.
#
#   bash scripts/measure-game.sh [--seconds 20] [--rounds 1] [--screen 1920x1080]
#                                [--env NAME=VALUE]...
#
# Builds in Release into build-perf/ (or BUILD_DIR) first. Needs Xvfb and
# xdotool (scripts/setup.sh installs them). Run it on a quiet machine: the
# figures are of the time the programs get, and other work takes it away.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-perf}
bash "$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release ${CMAKE_EXTRA_ARGS:-} >/dev/null
log="$build/measure-build.log"
cmake --build "$build" -j"$(nproc)" --target vexlo-race replay minimal_sdl present_probe >"$log" 2>&1 ||
  { cat "$log"; exit 1; }
exec python3 "$root/scripts/measure_game.py" --build "$build" --root "$root" "$@"

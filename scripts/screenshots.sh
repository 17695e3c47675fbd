#!/usr/bin/env bash
# Makes the README's screenshots from a scripted game on the replay tool:
# the title, play with traffic at speed 3, the explosion, the game-over
# screen. BUILD_DIR holds the replay tool: build/ (scripts/test.sh) unless
# given.
set -euo pipefail
usage() { echo "usage: scripts/screenshots.sh [BUILD_DIR]"; }
case ${1:-} in -h | --help) usage; exit 0 ;; esac
[ $# -le 1 ] && [[ ${1:-} != -* ]] || { usage >&2; exit 2; }
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
# Update numbers of the shots: full title, play, the fireball, game over.
declare -A shots=([title]=271 [play]=470 [explosion]=504 [game-over]=560)
list=$(IFS=,; echo "${shots[*]}")
(cd "$root" && "$build/replay" --keys tools/screenshots/screenshots.keys --out "$out" --dump "$list" >/dev/null)
for name in "${!shots[@]}"; do
  python3 "$root/tools/screenshots/raw_to_png.py" "$out/frame-${shots[$name]}.raw" "$root/docs/screenshots/$name.png" 2
done
ls "$root/docs/screenshots"

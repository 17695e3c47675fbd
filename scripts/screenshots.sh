#!/usr/bin/env bash
# Makes the README's screenshots from a scripted game on the replay tool:
# the title, play with traffic at speed 3, the explosion, the game-over
# screen. Usage: scripts/screenshots.sh [BUILD_DIR]
set -euo pipefail
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

#!/usr/bin/env bash
# Starts an installed Vexlo Race through its launcher on a private X server,
# from a folder of its own, and plays the shortest game: the window must
# carry the game's title, a key starts the game and Escape ends it with
# status 0. With EXE and GAMEDIR it also checks that the launcher became the
# game itself (same process) running in the folder that holds data/. The
# game is recorded, into a file named relative to WORKDIR, where it must
# land.
# Usage: game_check.sh LAUNCHER WORKDIR [EXE GAMEDIR]
# Needs Xvfb and xdotool; used both on this machine and inside the bare
# Debian of debian12_test.sh.
set -euo pipefail
if [ $# -ne 2 ] && [ $# -ne 4 ]; then
  echo "usage: $0 LAUNCHER WORKDIR [EXE GAMEDIR]" >&2
  exit 2
fi
launcher=$1
workdir=$2
title="Vexlo Race by Tamsel 2001"

tmp=$(mktemp -d)
xvfb_pid=""
game_pid=""
cleanup() {
  [ -z "$game_pid" ] || kill -9 "$game_pid" 2>/dev/null || true
  [ -z "$xvfb_pid" ] || { kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; } || true
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  [ ! -s "$tmp/game.log" ] || { echo "--- the game's output:" >&2; cat "$tmp/game.log" >&2; }
  exit 1
}

# A display number of its own: Xvfb picks a free one and writes it to fd 3.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$tmp/display" >"$tmp/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  grep -q . "$tmp/display" && break
  sleep 0.1
done
grep -q . "$tmp/display" || fail "Xvfb did not start: $(cat "$tmp/xvfb.log")"
export DISPLAY=":$(head -n1 "$tmp/display")"
export SDL_AUDIODRIVER=dummy VEXLO_NO_MESSAGE_BOX=1 XDG_CONFIG_HOME=$tmp/config XDG_DATA_HOME=$tmp/data
unset WAYLAND_DISPLAY SDL_VIDEODRIVER

rm -f "$workdir/recorded.keys"
(cd "$workdir" && VEXLO_PROGRESS_FILE="$tmp/progress" exec "$launcher" --record recorded.keys) >"$tmp/game.log" 2>&1 &
game_pid=$!

window=""
for _ in $(seq 150); do
  window=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -n1) && [ -n "$window" ] && break
  kill -0 "$game_pid" 2>/dev/null || fail "the game ended before its window opened"
  sleep 0.1
done
[ -n "$window" ] || fail "no window titled '$title' within 15 s"
[ "$(xdotool getwindowname "$window")" = "$title" ] || fail "window title: $(xdotool getwindowname "$window")"
echo "ok: the window is titled '$title'"

if [ $# -eq 4 ]; then
  # The launcher's own process is now the game (exec), in the game's folder.
  exe=$(readlink "/proc/$game_pid/exe")
  cwd=$(readlink "/proc/$game_pid/cwd")
  [ "$exe" = "$(readlink -f "$3")" ] || fail "the launcher's process runs $exe, not $3"
  [ "$cwd" = "$(readlink -f "$4")" ] || fail "the game runs in $cwd, not $4"
  echo "ok: the launcher became $exe, working in $cwd"
fi

# Past the intro, one key cuts the title's reveal short (and is dropped),
# the next starts the game, then Escape ends it.
# The window may be mapped a moment after it shows up; focusing it fails
# until then.
for _ in $(seq 50); do
  xdotool windowfocus --sync "$window" 2>/dev/null && break
  sleep 0.1
done
# Keys wait in the window until the game reads them; the game has begun its
# intro once its window counts updates.
for _ in $(seq 600); do
  [ -s "$tmp/progress" ] && [ "$(awk '{ print $1 }' "$tmp/progress")" -ge 10 ] 2>/dev/null && break
  sleep 0.1
done
xdotool key space sleep 0.3 key space sleep 0.5 key Escape
for _ in $(seq 600); do
  kill -0 "$game_pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$game_pid" 2>/dev/null && fail "the game still runs 60 s after Escape"
status=0
wait "$game_pid" || status=$?
game_pid=""
[ "$status" -eq 0 ] || fail "the game ended with status $status after Escape"
echo "ok: Escape ended the game with status 0"
[ "$(grep -cv '^#' "$workdir/recorded.keys" 2>/dev/null)" = 3 ] ||
  fail "no recording of three keys in $workdir: $(ls "$workdir")"
rm "$workdir/recorded.keys"
echo "ok: the game was recorded where it was started"

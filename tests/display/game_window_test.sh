#!/usr/bin/env bash
# The game in its real window, on a private X server: the window carries the
# game's title, a short game ended with Escape ends with status 0, and a run
# whose window is closed ends with status 0 within half a second.
# Usage: game_window_test.sh GAME WORKDIR X11_TOOL
#   GAME: the vexlo-race executable; WORKDIR: the folder holding data/, where
#   the game runs; X11_TOOL: the helper built with the display tests.
if [ $# -ne 3 ]; then
  echo "usage: $0 GAME WORKDIR X11_TOOL" >&2
  exit 2
fi
. "$(dirname "$0")/x11_session.sh"
game=$(realpath "$1")
workdir=$2
x11_tool=$3
title="Vexlo Race by Tamsel 2001"
start_xvfb 1280x1024
export SDL_AUDIODRIVER=dummy

# Starts the game and waits for its window ($window), checking the title.
start_game() {
  (cd "$workdir" && exec "$game") >"$tmp/game.log" 2>&1 &
  game_pid=$!
  started+=("$game_pid")
  window=$(window_of "$title") || fail "no window titled '$title': $(cat "$tmp/game.log")"
  [[ $(xprop -id "$window" _NET_WM_NAME) == *"\"$title\"" ]] || fail "title: $(xprop -id "$window" _NET_WM_NAME)"
  # The window can be found a moment before the server lets it take the
  # focus; try again rather than fail on that race.
  for _ in $(seq 50); do
    xdotool windowfocus --sync "$window" 2>/dev/null && return 0
    sleep 0.1
  done
  fail "the window never took the keyboard focus"
}

# Past the intro, a key on the title (one that cuts the title's reveal short
# is dropped, hence a second), a few moves, then Escape.
start_game
sleep 1.5
xdotool key space sleep 0.3 key space sleep 0.3 key --delay 100 Up Up Right Down Left sleep 0.3 key Escape
wait_exit "$game_pid" 5000
[ "$status" -eq 0 ] || fail "after Escape: status $status; $(cat "$tmp/game.log")"
echo "ok: the window is titled '$title'; Escape ends the game with status 0"

start_game
sleep 1.5
"$x11_tool" close "$window"
wait_exit "$game_pid" 5000
[ "$status" -eq 0 ] || fail "after closing the window: status $status; $(cat "$tmp/game.log")"
[ "$elapsed_ms" -le 500 ] || fail "the game took $elapsed_ms ms to end after its window was closed"
echo "ok: closing the window ends the game with status 0 in $elapsed_ms ms"

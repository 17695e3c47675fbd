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
. "$(dirname "$0")/../support/x11_session.sh"
game=$(realpath "$1")
workdir=$2
x11_tool=$3
title="Vexlo Race by Tamsel 2001"
start_xvfb 1280x1024
export SDL_AUDIODRIVER=dummy

# Starts the game and waits for its window, checking the title.
start_titled_game() {
  start_game
  [[ $(xprop -id "$window" _NET_WM_NAME) == *"\"$title\""* ]] || fail "title: $(xprop -id "$window" _NET_WM_NAME)"
}

# A key on the title (one that cuts the title's reveal short is dropped,
# hence a second), a few moves, then Escape. Keys wait in the window until
# the game reads them, so they may come at any stage.
start_titled_game
wait_updates 10
xdotool key space sleep 0.3 key space sleep 0.3 key --delay 100 Up Up Right Down Left sleep 0.3 key Escape
wait_exit "$game_pid" $((WAIT_LIMIT_S * 1000))
[ "$status" -eq 0 ] || fail "after Escape: status $status; $(cat "$tmp/game.log")"
echo "ok: the window is titled '$title'; Escape ends the game with status 0"

start_titled_game
wait_updates 10
"$x11_tool" close "$window"
wait_exit "$game_pid" $((WAIT_LIMIT_S * 1000))
[ "$status" -eq 0 ] || fail "after closing the window: status $status; $(cat "$tmp/game.log")"
[ "$elapsed_ms" -le 500 ] || fail "the game took $elapsed_ms ms to end after its window was closed"
echo "ok: closing the window ends the game with status 0 in $elapsed_ms ms"

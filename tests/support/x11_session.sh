# Shared by the window test scripts: a private X server on a free display
# number, a window manager where one is needed, and waits for the programs
# they start and their windows. Source it; it removes everything it started
# when the script ends.
#
# Every wait ends as soon as what it waits for has happened. Waits on the
# game count its updates (see `updates`), so a game slowed down by a busy
# machine is given the same share of its own time; the one limit in seconds,
# WAIT_LIMIT_S, only turns a hang into a failure.
set -euo pipefail
# Job control: started programs handle Ctrl+C as they do from a terminal
# (without it, background programs would ignore SIGINT).
set -m

tmp=$(mktemp -d)
started=()
cleanup() {
  # Each started program leads a process group of its own (job control), so
  # whatever it started goes too.
  for pid in "${started[@]}"; do kill -9 -- "-$pid" 2>/dev/null || true; done
  if [ -n "${xvfb_pid:-}" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -rf "$tmp"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

now_ms() { echo $(($(date +%s%N) / 1000000)); }

WAIT_LIMIT_S=${WAIT_LIMIT_S:-60}

# until_true COMMAND: evaluates COMMAND until it succeeds; false after
# WAIT_LIMIT_S seconds without success. COMMAND sees the caller's locals.
until_true() {
  local deadline=$(($(now_ms) + WAIT_LIMIT_S * 1000))
  until eval "$1"; do
    [ "$(now_ms)" -lt "$deadline" ] || return 1
    sleep 0.02
  done
}

# updates: how many updates the game started by start_game has made (its
# window keeps the count in $tmp/progress; see VEXLO_PROGRESS_FILE).
updates() {
  local u=0 shown
  [ -s "$tmp/progress" ] && read -r u shown <"$tmp/progress" 2>/dev/null
  [[ $u =~ ^[0-9]+$ ]] || u=0
  echo "$u"
}

# wait_updates N: waits until the game has made N more updates.
wait_updates() {
  local target=$(($(updates) + $1))
  until_true '[ "$(updates)" -ge '"$target"' ]' || fail "the game made no $1 updates in $WAIT_LIMIT_S s"
}
# start_xvfb WIDTHxHEIGHT: starts the server and points DISPLAY at it.
start_xvfb() {
  # -noreset: by default the server resets when its last client leaves, and
  # refuses connections meanwhile; a program started just then (the window
  # manager, on a busy machine) would find no display.
  Xvfb -displayfd 3 -screen 0 "${1}x24" -nolisten tcp -noreset 3>"$tmp/display" >/dev/null 2>&1 &
  xvfb_pid=$!
  until_true 'grep -q . "$tmp/display"' || fail "Xvfb did not start"
  export DISPLAY=":$(head -n1 "$tmp/display")" VEXLO_NO_MESSAGE_BOX=1
  # The game remembers its window here, not in the user's settings, and
  # keeps its games here, not among the user's.
  export XDG_CONFIG_HOME="$tmp/config" XDG_DATA_HOME="$tmp/data"
  unset WAYLAND_DISPLAY SDL_VIDEODRIVER
}

# wait_exit PID LIMIT_MS: waits for the program to end; sets $status (-1 if
# it has not ended in time) and $elapsed_ms.
wait_exit() {
  local start
  start=$(now_ms)
  status=-1
  while kill -0 "$1" 2>/dev/null && [ $(($(now_ms) - start)) -le "$2" ]; do sleep 0.005; done
  elapsed_ms=$(($(now_ms) - start))
  if ! kill -0 "$1" 2>/dev/null; then
    status=0
    wait "$1" || status=$?
  fi
}

# window_of TITLE: the id of the window with exactly that title.
window_of() { timeout "$WAIT_LIMIT_S" xdotool search --sync --onlyvisible --name "^$1\$" | head -n1; }

# size_of: the size of $window as "WIDTHxHEIGHT".
size_of() {
  local WIDTH HEIGHT X Y SCREEN WINDOW
  eval "$(xdotool getwindowgeometry --shell "$window")"
  echo "${WIDTH}x$HEIGHT"
}

# wait_size WxH: waits for $window to take that size.
wait_size() {
  local wanted_size=$1
  until_true '[ "$(size_of)" = "$wanted_size" ]' || fail "the window is $(size_of), not $1"
}

# wait_fullscreen yes|no WxH: waits until $window is in full screen, or out
# of it: its size, the window manager's state and the pointer over it
# (hidden in full screen), each of which reaches the X server on its own
# way. Needs $x11_tool.
wait_fullscreen() {
  local want=$1 cursor=shown state=""
  [ "$want" = yes ] && cursor=hidden
  wait_size "$2"
  until_true 'state=no; [[ $(xprop -id "$window" _NET_WM_STATE) == *_NET_WM_STATE_FULLSCREEN* ]] && state=yes; [ "$state" = "$want" ]' ||
    fail "at $2, full screen is '$state', not '$want'"
  until_true '[ "$("$x11_tool" cursor "$window")" = "$cursor" ]' || fail "at $2, the pointer over the window is not $cursor"
}

# start_wm: a small window manager (evilwm), which full screen needs.
start_wm() {
  evilwm --fn fixed --bw 0 >"$tmp/wm.log" 2>&1 &
  started+=($!)
  until_true "xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'" ||
    fail "the window manager did not start: $(cat "$tmp/wm.log")"
}

# launch_game [ARG...]: starts $game in $workdir, its progress in
# $tmp/progress and its output in $tmp/game.log. Sets $game_pid.
launch_game() {
  rm -f "$tmp/progress"
  (cd "$workdir" && VEXLO_PROGRESS_FILE="$tmp/progress" exec "$game" "$@") >"$tmp/game.log" 2>&1 &
  game_pid=$!
  started+=("$game_pid")
}

# focus_game: gives $window the keyboard focus, which the server may refuse
# for a moment after the window appears.
focus_game() {
  until_true 'xdotool windowfocus --sync "$window" 2>/dev/null' || fail "the window never took the keyboard focus"
}

# start_game [ARG...]: launch_game, then waits for its window titled $title
# and gives it the keyboard focus. Sets $window and $game_pid.
start_game() {
  launch_game "$@"
  window=$(window_of "$title") || fail "no window titled '$title': $(cat "$tmp/game.log")"
  focus_game
}

# start_game_of_class [ARG...]: start_game for a window whose title xdotool
# cannot search by (one beyond ASCII, which the window gives the X server in
# UTF-8): found by its class instead.
start_game_of_class() {
  launch_game "$@"
  window=$(timeout "$WAIT_LIMIT_S" xdotool search --sync --onlyvisible --classname '^vexlo-race$' | head -n1) ||
    fail "no window of class vexlo-race: $(cat "$tmp/game.log")"
  focus_game
}

#!/usr/bin/env bash
# How the real game says why it cannot start, and what a bad settings line
# costs: each message is one line starting with "vexlo-race:", the real
# reason before any line about the audio device, and a picture that cannot
# be read is also shown in a box where there is a display (a game started
# from the desktop's menu has no terminal).
#   start_failures_test.sh GAME SOURCE_DIR X11_TOOL
if [ $# -ne 3 ]; then
  echo "usage: $0 GAME SOURCE_DIR X11_TOOL" >&2
  exit 2
fi
. "$(dirname "$0")/../support/x11_session.sh"
game=$(realpath "$1")
workdir=$(realpath "$2")
x11_tool=$(realpath "$3")
title="Vexlo Race by Tamsel 2001"
# No audio device, so that its line would come first if anything opened it.
export SDL_AUDIODRIVER=no-such-driver VEXLO_NO_MESSAGE_BOX=1

# only_line TEXT LOG: LOG is that one line.
only_line() {
  [ "$(cat "$2")" = "$1" ] || fail "expected only '$1', got: $(cat "$2")"
}

# Without any display, and with a display named that does not answer.
status=0
(cd "$workdir" && env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER "$game") >"$tmp/err" 2>&1 || status=$?
[ "$status" -eq 1 ] || fail "no display: status $status"
only_line "vexlo-race: no display: set DISPLAY or WAYLAND_DISPLAY" "$tmp/err"
status=0
(cd "$workdir" && env -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER DISPLAY=:99999 "$game") >"$tmp/err" 2>&1 || status=$?
[ "$status" -eq 1 ] || fail "a display that does not answer: status $status"
# A library of the window system may add its own line; ours is the last.
[ "$(tail -n1 "$tmp/err")" = "vexlo-race: cannot reach the display (DISPLAY=:99999)" ] &&
  ! grep -q "audio" "$tmp/err" || fail "a display that does not answer: $(cat "$tmp/err")"
echo "no display, or one that does not answer: status 1, the reason and nothing about the audio device"

# A picture that cannot be read: its line, and a box titled "Error" on the
# display, which the player closes; then status 1.
start_xvfb 800x600
mkdir -p "$tmp/game"
cp -r "$workdir/data" "$tmp/game/"
rm "$tmp/game/data/titre.raw"
(cd "$tmp/game" && env -u VEXLO_NO_MESSAGE_BOX "$game") >"$tmp/err" 2>&1 &
game_pid=$!
started+=("$game_pid")
# xdotool does not find SDL's box by its name; xwininfo does.
box_id() { xwininfo -name Error 2>/dev/null | sed -n 's/.*Window id: \(0x[0-9a-f]*\).*/\1/p'; }
until_true '[ -n "$(box_id)" ]' || fail "no box: $(cat "$tmp/err")"
box=$(box_id)
"$x11_tool" close "$box"
wait_exit "$game_pid" $((WAIT_LIMIT_S * 1000))
[ "$status" -eq 1 ] || fail "a missing picture: status $status"
only_line "vexlo-race: cannot open data/titre.raw: No such file or directory" "$tmp/err"
echo "a missing picture: its line, a box until the player closes it, status 1"

# A settings line that makes no sense costs that line only: the others
# hold, and the file is written anew without it.
conf=$XDG_CONFIG_HOME/vexlo-race/settings.conf
mkdir -p "$(dirname "$conf")"
printf 'mute = yes\nwindow = 10x10\naspect = square\n' >"$conf"
start_game
[ "$(size_of)" = 640x400 ] || fail "square pixels were not kept: the window is $(size_of)"
"$x11_tool" close "$window"
wait_exit "$game_pid" $((WAIT_LIMIT_S * 1000))
[ "$status" -eq 0 ] || fail "status $status: $(cat "$tmp/game.log")"
grep -v "no audio device" "$tmp/game.log" >"$tmp/err" || true
only_line "vexlo-race: $conf: line 2: window is WIDTHxHEIGHT from 320x200 to 16384x16384, not '10x10'; the file will be rewritten when a game ends" "$tmp/err"
grep -qx 'mute = yes' "$conf" && grep -qx 'aspect = square' "$conf" && ! grep -q '10x10' "$conf" ||
  fail "the file written anew: $(cat "$conf")"
echo "a bad settings line: '$(cat "$tmp/err")'; mute and the aspect kept"
echo "ok: start failures"

# Shared by the game-in-a-window scripts (game_play_test.sh,
# game_comforts_test.sh): their arguments, the private X server's helpers,
# and reading what the window shows. Source it.
#
# The scripts' arguments: GAME WORKDIR X11_TOOL WINDOW_CHECK REPLAY GROUP
#   GAME: the vexlo-race executable; WORKDIR: the folder holding data/,
#   where the game runs; X11_TOOL: tests/support's helper; WINDOW_CHECK:
#   this folder's helper; REPLAY: the replay tool; GROUP: which checks.
#
# Real keys are not frame-exact, so only what does not depend on their
# timing is compared: whole pictures where the game waits, and in play the
# car's row, the score's place and digits, the road and the speed.
if [ $# -ne 6 ]; then
  echo "usage: $0 GAME WORKDIR X11_TOOL WINDOW_CHECK REPLAY GROUP" >&2
  exit 2
fi
. "$(dirname "${BASH_SOURCE[0]}")/../support/x11_session.sh"
game=$(realpath "$1")
workdir=$(realpath "$2")
x11_tool=$(realpath "$3")
window_check=$(realpath "$4")
replay=$(realpath "$5")
group=$6
title="Vexlo Race by Tamsel 2001"
# Every game's sound goes to a file: what was heard, and a clock that runs
# at the game's own pace (see wait_sound).
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$tmp/audio.raw"

# grab FILE: the 320 x 200 picture as the window shows it now. Its place in
# the window is the largest 4:3 (or, with VEXLO_ASPECT=off, 16:10)
# rectangle, centred.
grab() {
  local size w h pw ph
  size=$(size_of)
  w=${size%x*} h=${size#*x}
  local sw=320 sh=240
  [ "${VEXLO_ASPECT:-}" = off ] && sh=200
  if [ $((w * sh)) -ge $((h * sw)) ]; then
    ph=$h pw=$(((h * sw * 2 + sh) / (sh * 2)))
  else
    pw=$w ph=$(((w * sh * 2 + sw) / (sw * 2)))
  fi
  "$x11_tool" grab "$window" $(((w - pw) / 2)) $(((h - ph) / 2)) "$pw" "$ph" "$tmp/area.raw" &&
    "$window_check" sample "$tmp/area.raw" "$pw" "$ph" "$1"
}

# describe FILE: what a 320 x 200 frame shows (see window_check.cpp).
describe() { (cd "$workdir" && "$window_check" describe "$1"); }

# look: grabs the window now; sets $seen to its description and $seen_ms
# to the time of the grab. The frame stays in $tmp/frame.raw.
look() {
  seen_ms=$(now_ms)
  grab "$tmp/frame.raw" || fail "cannot read the window"
  seen=$(describe "$tmp/frame.raw")
}

# wait_for PATTERN UPDATES: looks until the description matches the
# (extended) regular expression, for at most UPDATES updates of the game: the
# limit is the game's own time, however slowly a busy machine runs it. A
# game that stands still (in a key wait) fails after WAIT_LIMIT_S seconds.
wait_for() {
  local first last u still_ms
  first=$(updates) last=$first still_ms=$(now_ms)
  while :; do
    u=$(updates)
    look
    [[ $seen =~ $1 ]] && return 0
    [ $((u - first)) -le "$2" ] || fail "waited $2 updates for '$1'; the window shows: $seen"
    [ "$u" = "$last" ] || { last=$u; still_ms=$(now_ms); }
    [ $(($(now_ms) - still_ms)) -le $((WAIT_LIMIT_S * 1000)) ] ||
      fail "the game stood still for $WAIT_LIMIT_S s while waiting for '$1': $seen"
    kill -0 "$game_pid" 2>/dev/null || fail "the game ended while waiting for '$1': $(cat "$tmp/game.log")"
    sleep 0.02
  done
}

# How many updates a key may take to show: its way through the X server and
# xdotool, which a busy machine slows down too, is counted in the game's time.
key_updates=350

# field NAME: a word "NAME=VALUE" of $seen.
field() { sed -n "s/.*\\<$1=\\([^ ]*\\).*/\\1/p" <<<"$seen"; }

# Past the title: a key cuts the reveal short (and is dropped), the title
# is shown whole, and a second key starts the game. On a busy machine the
# reveal may have ended before the first key: that one starts the game.
to_play() {
  wait_for 'screen=(reveal|title)' 300
  xdotool key space
  wait_for 'screen=(title|play)' "$key_updates"
  if [ "$seen" = screen=title ]; then
    xdotool key space
    wait_for 'screen=play' "$key_updates"
  fi
}

# The car's row, once it has settled at the row wanted. Returns 1 if the
# traffic hits the car first.
wait_row() {
  wait_for "player=car:$1\\b|player=explosion|screen=gameover" "$key_updates"
  [[ $seen =~ player=car ]] || return 1
  [ "$(($(field score) % 40))" = "$(field road)" ] || fail "the road does not follow the score: $seen"
}

# What the window shows when nothing waits: the replay tool's frame 271,
# the title whole after 70 black frames and a reveal of 200 rows.
replay_title() {
  : >"$tmp/none.keys"
  mkdir -p "$tmp/replay"
  (cd "$workdir" && "$replay" --keys "$tmp/none.keys" --out "$tmp/replay" --dump 271 >/dev/null 2>&1) || true
  [ -f "$tmp/replay/frame-271.raw" ] || fail "the replay tool wrote no frame 271"
  [ "$(describe "$tmp/replay/frame-271.raw")" = screen=title ] || fail "replay frame 271 is not the title"
}

# ended_cleanly LIMIT_MS: the game has ended with status 0 within the
# limit, and nothing of it is left.
ended_cleanly() {
  wait_exit "$game_pid" "$1"
  [ "$status" -eq 0 ] || fail "status $status after $elapsed_ms ms: $(cat "$tmp/game.log")"
  ! pgrep -g "$game_pid" >/dev/null || fail "processes left: $(pgrep -a -g "$game_pid")"
  ! xwininfo -id "$window" >/dev/null 2>&1 || fail "the window is still there"
}

# audio_ms: how much of the sound the disk output has written, in ms.
audio_ms() {
  local size
  size=$(stat -c %s "$tmp/audio.raw" 2>/dev/null) || size=0
  echo $((size * 10 / 1764))
}

# wait_sound MS: waits until the game has written MS ms more of its sound.
# The disk output writes at the sound's own pace, so this is time that
# passes for the game, however slowly a busy machine runs it.
wait_sound() {
  local target=$(($(audio_ms) + $1))
  until_true '[ "$(audio_ms)" -ge '"$target"' ]' || fail "the game wrote no $1 ms of sound in $WAIT_LIMIT_S s"
}

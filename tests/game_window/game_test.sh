#!/usr/bin/env bash
# The game as a player meets it: the real vexlo-race in its window on a
# private X server, keys from xdotool, the window read back and compared
# with the replay tool's frames, the sound caught by SDL's disk output.
#
# Usage: game_test.sh GAME WORKDIR X11_TOOL WINDOW_CHECK REPLAY GROUP
#   GAME: the vexlo-race executable; WORKDIR: the folder holding data/,
#   where the game runs; X11_TOOL: the display tests' helper; WINDOW_CHECK:
#   this folder's helper; REPLAY: the replay tool. GROUP is one of
#   play        a whole game: intro, title, moves, speeds, crash, game over,
#               a key to end it; and what was heard
#   square      the title pixel for pixel with square pixels (VEXLO_ASPECT=off)
#   fullscreen  F11 and Alt+Enter on the title and in play
#   close, term the window closed, or SIGTERM, at each stage of a game
#   pause       P, Pause and a lost focus pause play, exactly as the replay
#               tool plays the keys the game recorded; M is the window's too
#   sound       the music silent while paused, all sound while muted
#   watch       a recorded game watched in the window, frame for frame as
#               the replay tool plays it; the player's keys left out
#   settings    the command line's answers before any window; full screen,
#               the window's size and mute remembered; a bad settings file
#               or folder costs one line
#
# Real keys are not frame-exact, so only what does not depend on their
# timing is compared: whole pictures where the game waits, and in play the
# car's row, the score's place and digits, the road and the speed.
if [ $# -ne 6 ]; then
  echo "usage: $0 GAME WORKDIR X11_TOOL WINDOW_CHECK REPLAY GROUP" >&2
  exit 2
fi
. "$(dirname "$0")/../support/x11_session.sh"
game=$(realpath "$1")
workdir=$(realpath "$2")
x11_tool=$(realpath "$3")
window_check=$(realpath "$4")
replay=$(realpath "$5")
group=$6
title="Vexlo Race by Tamsel 2001"
export SDL_AUDIODRIVER=dummy

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

# gcd A B
gcd() {
  local a=$1 b=$2 t
  while [ "$b" -ne 0 ]; do t=$((a % b)) a=$b b=$t; done
  echo "$a"
}

# speed_is N: reads the speed off the score, which grows by the speed every
# frame: looks come a frame or a few apart, so the steps between the scores
# they see have the speed as their greatest common divisor, whatever the
# frame rate. The first step may still span the key's frame and is left out.
# Returns 1 if the traffic hits the car first.
speed_is() {
  local last="" divisor=0 steps="" i score
  for ((i = 0; i < 20; i++)); do
    look
    [[ $seen =~ player=car ]] || return 1
    score=$(field score)
    if [ -n "$last" ] && [ $i -ge 2 ] && [ "$score" != "$last" ]; then
      divisor=$(gcd "$divisor" $((score - last)))
      steps+=" $((score - last))"
      [ $((divisor % $1)) -eq 0 ] || fail "not speed $1: the score grew by$steps"
      [ "$divisor" -eq "$1" ] && { echo "speed $1: the score grew by$steps"; return 0; }
    fi
    last=$score
  done
  fail "speed $1 not confirmed: the score grew by$steps"
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

# paused_as_replayed KEYS: the window shows the game paused: the replay
# tool's frame of the update it stands at, from the keys recorded so far,
# dimmed under the sign, pixel for pixel; and no update passes. Sets
# $paused_at to that update.
paused_as_replayed() {
  local u
  until_true 'look; [ "$seen" = screen=other ]' || fail "the game did not pause: $seen"
  u=$(updates)
  rm -rf "$tmp/partial"
  (cd "$workdir" && "$replay" --keys "$1" --out "$tmp/partial" --dump "$u" --max-updates "$u" >/dev/null 2>&1) || true
  [ -f "$tmp/partial/frame-$u.raw" ] || fail "the replay of $1 has no frame $u"
  "$window_check" paused "$tmp/partial/frame-$u.raw" "$tmp/expected.raw"
  until_true 'grab "$tmp/frame.raw" && cmp -s "$tmp/frame.raw" "$tmp/expected.raw"' ||
    fail "paused at update $u, the window is not the replay's frame $u dimmed ($("$window_check" same "$tmp/frame.raw" "$tmp/expected.raw") % alike)"
  # Nothing can be waited for here: time passes and no update may.
  sleep 0.5
  [ "$(updates)" = "$u" ] || fail "updates passed while paused: $u, then $(updates)"
  paused_at=$u
}

# replayed_whole KEYS UPDATES: the replay tool plays the recorded game to
# its end, with as many updates as the window made.
replayed_whole() {
  local result
  result=$(cd "$workdir" && "$replay" --keys "$1" --out "$tmp/whole" 2>&1 | tail -n1)
  [ "$result" = "exit 0" ] || fail "the replay of the recording ends with '$result'"
  [ "$(wc -l <"$tmp/whole/frames.txt")" -eq "$2" ] ||
    fail "the replay made $(wc -l <"$tmp/whole/frames.txt") updates, the window $2"
}

# audio_ms: how much of the sound the disk output has written, in ms.
audio_ms() { echo $(($(stat -c %s "$tmp/audio.raw") * 10 / 1764)); }

# quiet FROM TO: the capture is silent from FROM to TO ms (each level a
# quarter of a second, from $tmp/levels).
quiet() { awk -v a="$1" -v b="$2" '$1 >= a && $1 + 250 <= b && $2 > 0.0005 { loud = 1 } END { exit loud }' "$tmp/levels"; }
# music FROM TO: no quarter of a second from FROM to TO ms is silent.
music() { awk -v a="$1" -v b="$2" '$1 >= a && $1 + 250 <= b { n++; if ($2 < 0.01) gap = 1 } END { exit gap || n == 0 }' "$tmp/levels"; }

# steered: starts a game; checks the intro, the reveal and the title, then
# in play the car's rows and two speeds. Returns 1 if the traffic hits the
# car before that is done.
steered() {
  launched_ms=$(now_ms)
  start_game
  [ "$(size_of)" = 640x480 ] || fail "first size $(size_of)"

  # The intro is black (on a busy machine the first look may come after
  # it); the title then grows downward and stands whole, the same as the
  # replay tool's, pixel for pixel.
  wait_for 'screen=(black|reveal)' 100
  if [ "$seen" != screen=black ]; then
    [ "$(updates)" -gt 70 ] || fail "the intro is not black: $seen"
    echo "the first look came after the intro"
  fi
  wait_for 'screen=reveal' 100
  reveal_ms=$seen_ms
  first_rows=$(field rows)
  wait_updates 20
  wait_for 'screen=reveal' 50
  later_rows=$(field rows)
  [ "$later_rows" -gt "$first_rows" ] || fail "the reveal went from $first_rows rows to $later_rows"
  wait_for 'screen=title' 250
  cmp -s "$tmp/frame.raw" "$tmp/replay/frame-271.raw" || fail "the title differs from the replay's"
  echo "intro, reveal ($first_rows, then $later_rows rows) and the title as in the replay"

  # Play: the score under its label, the road scrolled by the score, the
  # car at its start row; the arrows move it 5 rows a press.
  xdotool key space
  wait_for 'screen=play' "$key_updates"
  play_ms=$seen_ms play_updates=$(updates)
  wait_row 100 || return 1
  xdotool key --delay 40 Up Up Up
  wait_row 85 || return 1
  xdotool key --delay 40 Down Down Down Down Down
  wait_row 110 || return 1
  # Right and Left change the speed: two Rights make 3, a Left 2.
  xdotool key --delay 20 Right Right
  speed_is 3 || return 1
  xdotool key Left
  speed_is 2
}

case $group in
play)
  # 640 x 480: the first window on a 700 x 520 screen.
  start_xvfb 700x520
  export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$tmp/audio.raw"
  replay_title
  # Real keys come late on a busy machine, and the later the car reaches
  # its rows and speeds, the more traffic there is to hit it on the way: a
  # game in which it is hit before its speeds have been read is ended, and
  # the checks start again in a new one (three games at most).
  for attempt in 1 2 3; do
    steered && break
    [ $attempt -lt 3 ] || fail "the traffic hit the car before its speeds were read in 3 games: $seen"
    echo "the traffic hit the car before its speeds were read (score $(field score)): a new game"
    wait_for 'screen=gameover' 1900
    xdotool key space
    ended_cleanly $((WAIT_LIMIT_S * 1000))
  done

  # Flat out until the traffic hits the car: on the way every step of the
  # score is a multiple of 5; the explosion stands where the car was, and
  # the score stands still while it burns.
  xdotool key --delay 20 Right Right Right
  wait_updates 10
  look
  last=$(field score) steps=""
  while [[ $seen =~ player=car ]]; do
    score=$(field score)
    [ $(((score - last) % 5)) -eq 0 ] || fail "not speed 5: the score grew by$steps $((score - last))"
    [ "$score" = "$last" ] || steps+=" $((score - last))"
    last=$score
    [ $(($(updates) - play_updates)) -le 1750 ] || fail "no crash in 25 s of play"
    look
  done
  echo "speed 5: the score grew by$steps"
  # A look can take longer than the crash's 70 frames on a busy machine;
  # then only the game-over screen tells of it.
  [[ $seen =~ player=explosion|screen=gameover ]] || wait_for 'player=explosion|screen=gameover' 140
  crash_ms=$seen_ms crash_score=""
  if [[ $seen =~ player=explosion ]]; then
    crash_score=$(field score)
    [[ $(field player) =~ :110$ ]] || fail "the explosion is not at the car's row: $seen"
    wait_for 'player=explosion[23]|screen=gameover' 140
    [[ $seen =~ screen=gameover ]] || [ "$(field score)" = "$crash_score" ] ||
      fail "the score moved during the crash: $crash_score, then $seen"
  fi
  wait_for 'screen=gameover' 140
  if [ -n "$crash_score" ]; then
    [ "$(field final)" = "$crash_score" ] || fail "game over shows $(field final), the crash $crash_score"
  else
    crash_score=$(field final)
    [ "$crash_score" -ge "$last" ] || fail "game over shows $crash_score, play was at $last"
  fi
  over_updates=$(updates)
  sleep 0.3
  look
  [[ $seen =~ screen=gameover ]] && [ "$(updates)" = "$over_updates" ] ||
    fail "the game-over screen did not wait: $seen, $over_updates then $(updates) updates"
  echo "crash at $crash_score points, $((crash_ms - play_ms)) ms into play; game over shows it"
  xdotool key space
  ended_cleanly $((WAIT_LIMIT_S * 1000))
  echo "a key after the game-over screen ends the game with status 0"

  # What was heard, from the sound's start (just before the window opened):
  # silence through the intro, then music without a break until the end,
  # and the explosion once, after play began.
  "$window_check" levels "$tmp/audio.raw" 250 >"$tmp/levels"
  (cd "$workdir" && "$window_check" find data/explode.mp3 "$tmp/audio.raw") >"$tmp/found"
  read -r _ boom_at boom <<<"$(grep ^best "$tmp/found")"
  read -r _ _ elsewhere <<<"$(grep ^next "$tmp/found")"
  awk -v boom_at="$boom_at" -v boom="$boom" -v elsewhere="$elsewhere" \
      -v title_to_play=$((play_ms - reveal_ms)) -v play_to_crash=$((crash_ms - play_ms)) '
    !onset && $2 <= 0.0005 { quiet = $1 + 250; next }
    !onset { onset = $1 }
    $2 < 0.01 { gap = gap " " $1 }
    { end = $1 }
    END {
      printf "silent for %d ms, music from %d to %d ms; the explosion at %d ms (correlation %.2f, elsewhere %.2f)\n",
        quiet, onset, end, boom_at, boom, elsewhere
      bad = 0
      if (quiet < 700) { print "no silent intro"; bad = 1 }
      if (gap != "") { print "the music breaks off at" gap " ms"; bad = 1 }
      if (end - onset < (title_to_play + play_to_crash) * 0.7) { print "too little music"; bad = 1 }
      if (boom < 0.6 || elsewhere > 0.45) { print "the explosion does not stand out"; bad = 1 }
      if (boom_at - onset < title_to_play * 0.7) { print "the explosion came before play"; bad = 1 }
      exit bad
    }' "$tmp/levels" || fail "the sound; levels: $(tr '\n' ' ' <"$tmp/levels")"
  ;;

square)
  # With VEXLO_ASPECT=off the pixels are square: at 640 x 400 each is a
  # block of 2 x 2, and the title is the replay's pixel for pixel. A key in
  # the intro waits, then cuts the reveal short before its first row.
  export VEXLO_ASPECT=off
  start_xvfb 700x450
  replay_title
  start_game
  [ "$(size_of)" = 640x400 ] || fail "first size $(size_of)"
  xdotool key space
  wait_for 'screen=(reveal|title)' 300
  [ "$seen" = screen=title ] || fail "a key in the intro did not cut the reveal short: $seen"
  cmp -s "$tmp/frame.raw" "$tmp/replay/frame-271.raw" || fail "the title differs from the replay's"
  echo "the title as in the replay, pixel for pixel"
  # Escape starts the game like any key; in play it ends the game at once.
  xdotool key Escape
  wait_for 'screen=play' "$key_updates"
  wait_row 100 || fail "the traffic hit the car: $seen"
  xdotool key Escape
  ended_cleanly $((WAIT_LIMIT_S * 1000))
  echo "Escape in play ends the game with status 0"
  ;;

fullscreen)
  # F11 and Alt+Enter belong to the window: on the title screen they switch
  # to full screen and back without starting the game; in play they leave
  # the game running.
  start_xvfb 700x520
  start_wm
  replay_title
  start_game
  wait_for 'screen=(reveal|title)' 300
  xdotool key space
  wait_for 'screen=title' "$key_updates"
  [ "$("$x11_tool" cursor "$window")" = shown ] || fail "no pointer over the window"
  xdotool key F11
  wait_size 700x520
  [ "$("$x11_tool" cursor "$window")" = hidden ] || fail "the pointer shows over the full screen"
  # 693 x 520 is no whole multiple: compared pixel by pixel at the middle of
  # each picture pixel, the title is all but the same once it is redrawn.
  until_true 'look; share=$("$window_check" same "$tmp/frame.raw" "$tmp/replay/frame-271.raw"); [ "$share" -ge 95 ]' ||
    fail "full screen shows the title only $share % alike: $seen"
  xdotool key alt+Return
  wait_size 640x480
  [ "$("$x11_tool" cursor "$window")" = shown ] || fail "the pointer stays hidden in the window"
  wait_for 'screen=(title|play)' 50
  [ "$seen" = screen=title ] || fail "the fullscreen keys started the game: $seen"
  echo "F11 and Alt+Enter switch to full screen and back ($share % of the title alike there), the title waits"
  xdotool key space
  wait_for 'screen=play' "$key_updates"
  before=$(field score)
  xdotool key F11
  wait_size 700x520
  wait_updates 20
  xdotool key alt+KP_Enter
  wait_size 640x480
  wait_row 100 || fail "the traffic hit the car: $seen"
  score=$(field score)
  [ "$score" -gt "$before" ] || fail "the game stood still in full screen: $before, then $seen"
  xdotool key Escape
  ended_cleanly $((WAIT_LIMIT_S * 1000))
  echo "in play too: $before points before, $score after"
  ;;

close | term)
  # At each stage: the window closed by its close button (as a window
  # manager sends it), or SIGTERM. The game ends within half a second with
  # status 0 and leaves nothing behind.
  start_xvfb 700x520
  for stage in intro reveal title play crash gameover; do
    start_game
    case $stage in
    # The intro's 70 updates and the reveal's 200 go by faster than a busy
    # machine looks at the window: these two follow the game's count.
    intro) until_true '[ "$(updates)" -ge 1 ]' || fail "no update in $WAIT_LIMIT_S s" ;;
    reveal) until_true '[ "$(updates)" -ge 80 ]' || fail "no 80 updates in $WAIT_LIMIT_S s" ;;
    title)
      wait_for 'screen=(reveal|title)' 300
      xdotool key space
      wait_for 'screen=title' "$key_updates"
      sleep 0.2
      ;;
    play) to_play ;;
    crash)
      to_play
      xdotool key Right Right Right Right
      wait_for 'player=explosion|screen=gameover' 1750
      ;;
    gameover)
      to_play
      xdotool key Right Right Right Right
      wait_for 'screen=gameover' 1900
      sleep 0.2
      ;;
    esac
    if [ "$group" = close ]; then "$x11_tool" close "$window"; else kill -TERM "$game_pid"; fi
    ended_cleanly 500
    ! grep -qi error "$tmp/game.log" || fail "$stage: $(cat "$tmp/game.log")"
    echo "$stage: ended in $elapsed_ms ms (after update $(updates))"
  done
  ;;

pause)
  # Square pixels at 640 x 400: every grab is the picture pixel for pixel.
  export VEXLO_ASPECT=off
  start_xvfb 700x450
  start_game --record "$tmp/game.keys"
  to_play
  # At speed 1 on row 90 the traffic first hits the car some 1000 updates
  # into play: time enough on a busy machine.
  xdotool key --delay 40 Up Up m
  wait_row 90 || fail "the traffic hit the car: $seen"
  xdotool key p
  paused_as_replayed "$tmp/game.keys"
  first=$paused_at
  # Keys pressed while paused are dropped; P goes on.
  xdotool key --delay 40 Down Down p
  wait_updates 30
  xdotool key m Down
  wait_row 95 || fail "the traffic hit the car: $seen"
  "$x11_tool" unfocus "$window"
  paused_as_replayed "$tmp/game.keys"
  echo "paused at updates $first and $paused_at, the frames the replay tool makes of the recorded keys"
  until_true 'xdotool windowfocus --sync "$window" 2>/dev/null' || fail "the window did not take the focus back"
  xdotool key Pause
  wait_updates 30
  xdotool key Escape
  ended_cleanly $((WAIT_LIMIT_S * 1000))
  replayed_whole "$tmp/game.keys" "$(updates)"
  ! grep -Eq '^[0-9]+ (80|77|19)$' "$tmp/game.keys" || fail "a pause or mute key reached the game: $(cat "$tmp/game.keys")"
  echo "the whole recorded game replays in the $(updates) updates it took; P, Pause and M never reached it"
  ;;

sound)
  # What was heard: the music through play, silent while paused and while
  # muted, back after each.
  start_xvfb 700x520
  export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$tmp/audio.raw"
  # Each switch is timed by the sound written just before its key and just
  # after it showed (the paused picture, the updates going on); the checks
  # leave out what lies between, however slow a busy machine makes it.
  start_game
  to_play
  wait_updates 140
  before_pause=$(audio_ms)
  xdotool key p
  until_true 'look; [ "$seen" = screen=other ]' || fail "the game did not pause: $seen"
  pause_from=$(audio_ms)
  until_true '[ $(($(audio_ms) - pause_from)) -ge 1500 ]' || fail "no sound written while paused"
  pause_to=$(audio_ms)
  xdotool key p
  wait_updates 1
  resumed=$(audio_ms)
  wait_updates 140
  before_mute=$(audio_ms)
  xdotool key m
  wait_updates 5
  mute_from=$(audio_ms)
  wait_updates 105
  mute_to=$(audio_ms)
  xdotool key m
  wait_updates 5
  unmuted=$(audio_ms)
  wait_updates 140
  end_ms=$(audio_ms)
  xdotool key Escape
  ended_cleanly $((WAIT_LIMIT_S * 1000))
  "$window_check" levels "$tmp/audio.raw" 250 >"$tmp/levels"
  echo "paused from $before_pause-$pause_from to $pause_to-$resumed ms, muted from $before_mute-$mute_from to $mute_to-$unmuted ms, ended at $end_ms ms"
  music $((before_pause - 1500)) $((before_pause - 200)) || fail "no music before the pause: $(tr '\n' ' ' <"$tmp/levels")"
  quiet $((pause_from + 100)) "$pause_to" || fail "sound while paused: $(tr '\n' ' ' <"$tmp/levels")"
  music $((resumed + 300)) $((before_mute - 200)) || fail "no music after the pause: $(tr '\n' ' ' <"$tmp/levels")"
  quiet $((mute_from + 300)) "$mute_to" || fail "sound while muted: $(tr '\n' ' ' <"$tmp/levels")"
  music $((unmuted + 300)) "$end_ms" || fail "no music after the mute: $(tr '\n' ' ' <"$tmp/levels")"
  echo "silent while paused and while muted, the music before, between and after"
  ;;

watch)
  # A real game recorded, to its game-over screen; then watched: paused
  # twice, its frames are the replay tool's, the arrows and Space pressed
  # while it runs change nothing, and it ends by itself where the game did.
  export VEXLO_ASPECT=off
  start_xvfb 700x450
  start_game --record "$tmp/game.keys"
  to_play
  xdotool key --delay 40 Down Down Right Right Right Right
  wait_for 'screen=gameover' 1900
  xdotool key space
  ended_cleanly $((WAIT_LIMIT_S * 1000))
  played=$(updates)
  replayed_whole "$tmp/game.keys" "$played"
  echo "recorded a game of $played updates; the replay tool plays it in as many"
  # From the title's key to the end, paused a third and two thirds of the way.
  start=$(grep -v '^#' "$tmp/game.keys" | sed -n 2p | cut -d' ' -f1)
  start_game --watch "$tmp/game.keys"
  for third in 1 2; do
    mark=$((start + (played - start) * third / 3))
    until_true '[ "$(updates)" -ge '"$mark"' ]' || fail "the watched game did not reach update $mark"
    xdotool key p
    paused_as_replayed "$tmp/game.keys"
    echo "watching, paused at update $paused_at: the replay's frame"
    xdotool key --delay 30 p Up Up Left space
  done
  wait_exit "$game_pid" $((WAIT_LIMIT_S * 1000))
  [ "$status" -eq 0 ] || fail "watching ended with status $status: $(cat "$tmp/game.log")"
  [ "$(updates)" = "$played" ] || fail "the watched game made $(updates) updates, the recorded one $played"
  echo "the watched game ended by itself after the same $played updates"
  ;;

settings)
  conf=$tmp/config/vexlo-race/settings.conf
  # The command line answers before any window: without a display, a game
  # that got as far as its window would end with "no display" instead.
  nodisplay() { (cd "$workdir" && env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER "$game" "$@"); }
  [ "$(nodisplay --version)" = "vexlo-race 1.0.0" ] || fail "--version says '$(nodisplay --version)'"
  nodisplay --help | grep -q -- '--watch FILE' || fail "--help: $(nodisplay --help)"
  for args in --speed --aspect=16:9 --record extra "--record a --watch b"; do
    # shellcheck disable=SC2086
    err=$(nodisplay $args 2>&1 >/dev/null) && status=0 || status=$?
    [ "$status" -eq 2 ] && [[ $err == *"Usage: vexlo-race"* ]] || fail "'$args': status $status, $err"
  done
  err=$(nodisplay --record "$tmp/no/such/folder/game.keys" 2>&1) && status=0 || status=$?
  [ "$status" -eq 1 ] && [[ $err == *"cannot create"* ]] || fail "an uncreatable recording: status $status, $err"
  printf '117 32
119 space
' >"$tmp/bad.keys"
  err=$(nodisplay --watch "$tmp/bad.keys" 2>&1) && status=0 || status=$?
  [ "$status" -eq 1 ] && [[ $err == *"bad.keys:2:"* ]] || fail "a malformed recording: status $status, $err"
  echo "--version, --help, bad options (status 2) and bad files (status 1), all before any window"

  start_xvfb 1000x700
  [ "$XDG_CONFIG_HOME" = "$tmp/config" ] || fail "the settings would go to $XDG_CONFIG_HOME"
  start_wm
  # Resized, and the sound switched off in play: both kept.
  start_game
  wait_for 'screen=(reveal|title)' 300
  xdotool windowsize "$window" 800 500
  wait_size 800x500
  # The reveal may have ended meanwhile: then one key starts the game.
  xdotool key space
  wait_for 'screen=(title|play)' "$key_updates"
  if [ "$seen" = screen=title ]; then
    xdotool key space
    wait_for 'screen=play' "$key_updates"
  fi
  xdotool key m Escape
  ended_cleanly $((WAIT_LIMIT_S * 1000))
  grep -qx 'window = 800x500' "$conf" && grep -qx 'mute = yes' "$conf" || fail "remembered: $(cat "$conf")"
  # Opens at that size; F11 there is remembered too, and the next run opens
  # in full screen, unless --window says otherwise.
  start_game
  [ "$(size_of)" = 800x500 ] || fail "the window opened at $(size_of), not at the remembered 800x500"
  xdotool key F11
  wait_size 1000x700
  "$x11_tool" close "$window"
  ended_cleanly $((WAIT_LIMIT_S * 1000))
  grep -qx 'fullscreen = yes' "$conf" && grep -qx 'window = 800x500' "$conf" || fail "remembered: $(cat "$conf")"
  start_game
  wait_size 1000x700
  "$x11_tool" close "$window"
  ended_cleanly $((WAIT_LIMIT_S * 1000))
  start_game --window
  wait_size 800x500
  "$x11_tool" close "$window"
  ended_cleanly $((WAIT_LIMIT_S * 1000))
  echo "the window's size, full screen and mute remembered; --window wins over the file"

  # A file that makes no sense, and a folder that cannot be written: one
  # line each, and the game plays.
  printf 'window = 640x480
ELFgarbage' >"$conf"
  start_game
  "$x11_tool" close "$window"
  ended_cleanly $((WAIT_LIMIT_S * 1000))
  [ "$(wc -l <"$tmp/game.log")" -eq 1 ] && grep -q "settings.conf: line 2" "$tmp/game.log" ||
    fail "a bad settings file: $(cat "$tmp/game.log")"
  grep -qx 'fullscreen = no' "$conf" || fail "the bad file was not written anew: $(cat "$conf")"
  echo "a bad file: '$(cat "$tmp/game.log")', and written anew"
  : >"$tmp/a-file"
  XDG_CONFIG_HOME=$tmp/a-file start_game
  "$x11_tool" close "$window"
  ended_cleanly $((WAIT_LIMIT_S * 1000))
  [ "$(wc -l <"$tmp/game.log")" -eq 1 ] && grep -q "a-file/vexlo-race" "$tmp/game.log" ||
    fail "an unwritable settings folder: $(cat "$tmp/game.log")"
  echo "an unwritable folder: '$(cat "$tmp/game.log")'"
  ;;

*)
  fail "unknown group $group"
  ;;
esac
echo "ok: $group"

#!/usr/bin/env bash
# A game as a player plays it: the real vexlo-race in its window on a
# private X server, keys from xdotool, the window read back and compared
# with the replay tool's frames, the sound caught by SDL's disk output.
#
# Usage: game_play_test.sh GAME WORKDIR X11_TOOL WINDOW_CHECK REPLAY GROUP
# (the arguments as in game_session.sh). GROUP is one of
#   play        a whole game: intro, title, moves, speeds, crash, game over,
#               a key to end it; and what was heard
#   square      the title pixel for pixel with square pixels (VEXLO_ASPECT=off)
#   fullscreen  F11 and Alt+Enter on the title and in play
#   close, term the window closed, or SIGTERM, at each stage of a game
#   typed       the window's title as window managers show it, and a short
#               game typed in one go, before the game reads any key
. "$(dirname "$0")/game_session.sh"

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
  wait_sound 300
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
  wait_fullscreen yes 700x520
  # 693 x 520 is no whole multiple: compared pixel by pixel at the middle of
  # each picture pixel, the title is all but the same once it is redrawn.
  until_true 'look; share=$("$window_check" same "$tmp/frame.raw" "$tmp/replay/frame-271.raw"); [ "$share" -ge 95 ]' ||
    fail "full screen shows the title only $share % alike: $seen"
  xdotool key alt+Return
  wait_fullscreen no 640x480
  wait_for 'screen=(title|play)' 50
  [ "$seen" = screen=title ] || fail "the fullscreen keys started the game: $seen"
  echo "F11 and Alt+Enter switch to full screen and back ($share % of the title alike there), the title waits"
  xdotool key space
  wait_for 'screen=play' "$key_updates"
  before=$(field score)
  xdotool key F11
  wait_fullscreen yes 700x520
  wait_updates 20
  xdotool key alt+KP_Enter
  wait_fullscreen no 640x480
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
      # A moment of the game's time: the close comes while it waits.
      wait_sound 200
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
      wait_sound 200
      ;;
    esac
    if [ "$group" = close ]; then "$x11_tool" close "$window"; else kill -TERM "$game_pid"; fi
    ended_cleanly 500
    ! grep -qi error "$tmp/game.log" || fail "$stage: $(cat "$tmp/game.log")"
    echo "$stage: ended in $elapsed_ms ms (after update $(updates))"
  done
  ;;

typed)
  # Window managers show the title from _NET_WM_NAME (the search for the
  # window matched WM_NAME). Keys wait in the window until the game reads
  # them: a whole short game typed before then is played to its end, every
  # key taken in turn.
  start_xvfb 1280x1024
  start_game --record "$tmp/game.keys"
  [[ $(xprop -id "$window" _NET_WM_NAME) == *"\"$title\""* ]] || fail "title: $(xprop -id "$window" _NET_WM_NAME)"
  xdotool key space space Up Up Right Down Left Escape
  ended_cleanly $((WAIT_LIMIT_S * 1000))
  typed=$(grep -v '^#' "$tmp/game.keys" | cut -d' ' -f2 | tr '\n' ' ')
  [ "$typed" = "32 32 38 38 39 40 37 27 " ] || fail "the game took the keys typed ahead as: $(cat "$tmp/game.keys")"
  echo "the window is titled '$title'; a game typed ahead ends with Escape, status 0"
  ;;

*)
  fail "unknown group $group"
  ;;
esac
echo "ok: $group"

#!/usr/bin/env bash
# What the window and the launcher give around a game: pause and mute,
# watching a recorded game, and the settings kept from one run to the
# next. The real vexlo-race in its window on a private X server, as in
# game_play_test.sh.
#
# Usage: game_comforts_test.sh GAME WORKDIR X11_TOOL WINDOW_CHECK REPLAY GROUP
# (the arguments as in game_session.sh). GROUP is one of
#   pause       P, Pause and a lost focus pause play, exactly as the replay
#               tool plays the keys the game recorded; M is the window's too
#   sound       the music silent while paused, all sound while muted
#   watch       a recorded game watched in the window, frame for frame as
#               the replay tool plays it; the player's keys left out
#   speed       a run watched at x8 ends in under 4 s, every update made; S
#               skips to the crash, shown within 2 s; a daily race's title
#   held        a key held through the crash does not end the game-over
#               screen, a fresh press does, and the recording replays
#   settings    the command line's answers before any window; full screen,
#               the window's size and mute remembered; a bad settings file
#               or folder costs one line
. "$(dirname "$0")/game_session.sh"

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
  # Half a second of the game's own time passes, and no update.
  wait_sound 500
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

# quiet FROM TO: the capture is silent from FROM to TO ms (each level a
# quarter of a second, from $tmp/levels).
quiet() { awk -v a="$1" -v b="$2" '$1 >= a && $1 + 250 <= b && $2 > 0.0005 { loud = 1 } END { exit loud }' "$tmp/levels"; }
# music FROM TO: no quarter of a second from FROM to TO ms is silent.
music() { awk -v a="$1" -v b="$2" '$1 >= a && $1 + 250 <= b { n++; if ($2 < 0.01) gap = 1 } END { exit gap || n == 0 }' "$tmp/levels"; }

case $group in
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

speed)
  # The classic race at speed 1, 1670 updates, watched at x8: all of them
  # made, in under 4 s from the first.
  export VEXLO_ASPECT=off
  start_xvfb 700x450
  start_game --watch "$workdir/tests/replay/crash_speed1.keys" --speed 8
  until_true '[ "$(updates)" -ge 1 ]' || fail "the watched run did not start: $(cat "$tmp/game.log")"
  from=$(now_ms)
  wait_exit "$game_pid" $((WAIT_LIMIT_S * 1000))
  took=$(($(now_ms) - from))
  [ "$status" -eq 0 ] || fail "watching ended with status $status: $(cat "$tmp/game.log")"
  [ "$(updates)" = 1670 ] || fail "the run watched at x8 made $(updates) updates, the replay tool 1670"
  [ "$took" -lt 4000 ] || fail "the run of 1670 updates watched at x8 took $took ms"
  echo "1670 updates watched at x8 in $took ms"
  # A daily race, named in the window's title; skipped to its crash.
  keys=$workdir/tests/replay/daily_2026_12_10.keys
  frames=$(wc -l <"$workdir/tests/replay/golden/daily_2026_12_10/frames.txt")
  crash=$((frames - 1 - 70))
  start_game_of_class --watch "$keys"
  [ "$(xdotool getwindowname "$window")" = "Vexlo Race — daily race 2026-12-10" ] ||
    fail "the daily race's window is titled '$(xdotool getwindowname "$window")'"
  until_true '[ "$(updates)" -ge 300 ]' || fail "the watched run did not reach its play"
  xdotool key s
  from=$(now_ms)
  until_true '[ "$(updates)" -ge '"$crash"' ]' || fail "the skip did not reach the crash at $crash"
  took=$(($(now_ms) - from))
  [ "$took" -lt 2000 ] || fail "the crash came $took ms after S"
  echo "S: the crash (update $crash) on screen $took ms after it"
  wait_exit "$game_pid" $((WAIT_LIMIT_S * 1000))
  [ "$status" -eq 0 ] && [ "$(updates)" = "$frames" ] || fail "the skipped run ended with status $status after $(updates) updates"
  ;;

held)
  # Right held down from play through the crash: the game-over screen
  # stays while its repeats come, a fresh key ends it, and the recording
  # replays the same game.
  export VEXLO_ASPECT=off
  start_xvfb 700x450
  start_game --record "$tmp/game.keys"
  to_play
  xdotool key --delay 40 Right Right Right
  xdotool keydown Right
  wait_for 'screen=gameover' 1900
  # A second of the game's own time (its music plays on) with the key held.
  wait_sound 1000
  look
  [[ $seen == screen=gameover* ]] && kill -0 "$game_pid" 2>/dev/null ||
    fail "the held key ended the game-over screen: $seen, $(cat "$tmp/game.log")"
  xdotool keyup Right
  wait_sound 300
  kill -0 "$game_pid" 2>/dev/null || fail "letting the key go ended the game-over screen"
  xdotool key space
  ended_cleanly $((WAIT_LIMIT_S * 1000))
  replayed_whole "$tmp/game.keys" "$(updates)"
  echo "the game-over screen stood while Right was held, a fresh key ended it; the recording replays"
  ;;

settings)
  conf=$tmp/config/vexlo-race/settings.conf
  # The disk output announces itself on stderr: here every line counts.
  export SDL_AUDIODRIVER=dummy
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
  printf 'window = 640x480\n\177ELF\001\002garbage' >"$conf"
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

#!/usr/bin/env bash
# The SDL window as a player meets it: the window probe on a private X
# server, keys from xdotool, the close button's request from x11_tool,
# signals from here.
# Usage: window_test.sh PROBE X11_TOOL picture|aspect|fullscreen|pad|keys|reset|close|pace|errors
. "$(dirname "$0")/../support/x11_session.sh"
probe=$1
x11_tool=$2

# start_probe MODE TITLE: starts the probe and waits until its window shows
# the picture; sets $probe_pid and $window.
start_probe() {
  # Emptied here, not by the probe's redirection: that happens only once the
  # probe's process runs, and until then the loop below could still find the
  # previous probe's "ready".
  : >"$tmp/out"
  "$probe" "$1" "$2" >>"$tmp/out" 2>&1 &
  probe_pid=$!
  started+=("$probe_pid")
  wait_line ready || fail "$1: the probe did not open its window: $(cat "$tmp/out")"
  window=$(window_of "$2") || fail "no window titled $2"
}

# wait_line LINE: waits until the probe has printed that line.
wait_line() {
  local line=$1
  until_true 'grep -qx "$line" "$tmp/out"' || fail "the probe never printed '$line': $(cat "$tmp/out")"
}

# What the probe printed after "ready".
printed() { awk 'seen; /^ready$/ { seen = 1 }' "$tmp/out"; }

# pixels X Y [X Y]...: the window's pixels as rrggbb.
pixels() { "$x11_tool" pixels "$window" "$@"; }

# profile column|row AT FROM COUNT: the grid picture's stripes along column
# (or row) AT of the window, from FROM for COUNT pixels, summed up as
# "RUNS LENGTHS BLENDS ADJACENT": how many runs of unmixed colour there are
# (each run one row or column of the picture), the lengths they come in
# (sorted, unique), how many blended pixels lie between runs and how often
# two blended pixels touch. The probe's stripes are blue in odd rows and
# red in odd columns, so a column is read in its blue channel and a row in
# its red one.
profile() {
  local args=() i
  for ((i = $3; i < $3 + $4; i++)); do
    if [ "$1" = column ]; then args+=("$2" "$i"); else args+=("$i" "$2"); fi
  done
  pixels "${args[@]}" | tr ' ' '\n' |
    if [ "$1" = column ]; then cut -c5-6; else cut -c1-2; fi |
    awk '{
      if ($1 == "00" || $1 == "ff") {
        if ($1 != last) { if (n) { runs++; len[n] = 1 }; n = 0; last = $1 }
        n++; blended = 0
      } else {
        blends++; if (blended) adjacent++; blended = 1
        if (n) { runs++; len[n] = 1 }; n = 0; last = ""
      }
    }
    END {
      if (n) { runs++; len[n] = 1 }
      lengths = ""; for (k = 1; k <= 1000; k++) if (k in len) lengths = lengths (lengths == "" ? "" : ",") k
      print runs + 0, lengths, blends + 0, adjacent + 0
    }'
}

case $3 in
picture)
  # Square pixels, as in memory: the picture at whole multiples of 320 x 200.
  export VEXLO_ASPECT=off
  start_xvfb 1000x700
  start_probe keys ProbePicture
  [[ $(xprop -id "$window" _NET_WM_NAME) == *'"ProbePicture"' ]] || fail "title: $(xprop -id "$window" _NET_WM_NAME)"
  # 3 times 320 x 200 is the most that fits 1000 x 700.
  [[ $(xdotool getwindowgeometry --shell "$window") == *$'WIDTH=960\nHEIGHT=600'* ]] ||
    fail "first size: $(xdotool getwindowgeometry "$window")"
  # The probe's picture: blue, a red top-left and a green bottom-right pixel,
  # in 3 x 3 blocks with hard edges. The white it drew after copying is not shown.
  seen=$(pixels 0 0 2 2 3 0 0 3 480 300 959 599 957 597 956 599)
  [ "$seen" = "ff0000 ff0000 0000ff 0000ff 0000ff 00ff00 00ff00 0000ff" ] || fail "picture: $seen"
  # A taller window: black bars above and below, and the picture is drawn
  # again although the probe only waits for a key.
  xdotool windowmove --sync "$window" 0 0 windowsize --sync "$window" 960 700
  want="000000 ff0000 ff0000 0000ff 00ff00 000000"
  until_true 'seen=$(pixels 0 49 0 50 2 52 0 53 959 649 959 650); [ "$seen" = "$want" ]' || true
  [ "$seen" = "$want" ] || fail "letterboxed picture: $seen"
  xdotool windowfocus --sync "$window" key Escape
  wait_exit "$probe_pid" $((WAIT_LIMIT_S * 1000))
  [ "$status" -eq 0 ] || fail "status $status after Escape"
  ;;

aspect)
  # By default each pixel is 1.2 times as tall as wide. 1600 x 1200, the
  # largest multiple of 320 x 240 that fits, is a whole multiple both ways:
  # 5 x 6 blocks, nothing blended.
  start_xvfb 1700x1300
  start_probe grid ProbeAspect
  wait_size 1600x1200
  seen=$(profile column 7 0 1200)
  [ "$seen" = "200 6 0 0" ] || fail "rows at 1600x1200: $seen"
  seen=$(profile row 11 0 1600)
  [ "$seen" = "320 5 0 0" ] || fail "columns at 1600x1200: $seen"
  # At 1280 x 960 columns are 4 pixels wide, exactly; rows 4.8 pixels tall:
  # four rows of pure colour each, every row of the picture alike, with
  # single blended rows between some of them (plain nearest-neighbour
  # scaling would make rows of 4 and 5, plain linear scaling blur across
  # several).
  xdotool windowsize --sync "$window" 1280 960
  wait_size 1280x960
  until_true 'seen=$(profile column 5 0 960); [ "$seen" = "200 4 160 0" ]' || true
  [ "$seen" = "200 4 160 0" ] || fail "rows at 1280x960: $seen"
  seen=$(profile row 3 0 1280)
  [ "$seen" = "320 4 0 0" ] || fail "columns at 1280x960: $seen"
  # Resized to another shape: letterboxed, 1000 x 750 between black bars of
  # 75 rows, every row and column of the picture still there, no smear.
  xdotool windowsize --sync "$window" 1000 900
  want="000000 000000 000000 000000"
  until_true 'seen=$(pixels 0 74 999 74 0 825 999 899); [ "$seen" = "$want" ] && [ "$(pixels 5 80)" != 000000 ]' || true
  [ "$seen" = "$want" ] || fail "bars at 1000x900: $seen"
  read -r runs _ _ adjacent <<<"$(profile column 500 75 750)"
  [ "$runs $adjacent" = "200 0" ] || fail "rows at 1000x900: $(profile column 500 75 750)"
  read -r runs _ _ adjacent <<<"$(profile row 400 0 1000)"
  [ "$runs $adjacent" = "320 0" ] || fail "columns at 1000x900: $(profile row 400 0 1000)"
  xdotool windowfocus --sync "$window" key Escape
  wait_exit "$probe_pid" $((WAIT_LIMIT_S * 1000))
  [ "$status" -eq 0 ] || fail "status $status after Escape"
  ;;

fullscreen)
  # F11 and Alt+Enter switch to full screen and back: the window covers the
  # screen with the picture letterboxed at 4:3 and no pointer over it. The
  # keys are the window's own: the probe reads only the others.
  start_xvfb 1000x800
  start_wm
  start_probe grid ProbeFullscreen
  wait_size 960x720
  [ "$("$x11_tool" cursor "$window")" = shown ] || fail "no pointer over the window"
  xdotool windowfocus --sync "$window" key F11
  wait_fullscreen yes 1000x800
  # 1000 x 750 between bars of 25 rows.
  want="000000 000000 000000 000000"
  until_true 'seen=$(pixels 0 24 999 24 0 775 999 799); [ "$seen" = "$want" ] && [ "$(pixels 5 30)" != 000000 ]' || true
  [ "$seen" = "$want" ] || fail "full screen bars: $seen"
  read -r runs _ _ adjacent <<<"$(profile column 500 25 750)"
  [ "$runs $adjacent" = "200 0" ] || fail "full screen rows: $(profile column 500 25 750)"
  xdotool key alt+Return
  wait_fullscreen no 960x720
  xdotool key F11
  wait_fullscreen yes 1000x800
  xdotool key alt+KP_Enter
  wait_fullscreen no 960x720
  # Alt alone is still a key, as are the others.
  xdotool key --delay 30 a alt Return Escape
  wait_exit "$probe_pid" $((WAIT_LIMIT_S * 1000))
  [ "$status" -eq 0 ] || fail "status $status after Escape"
  want="key 65 s0 a0 c0
key 18 s0 a1 c0
key 13 s0 a0 c0
key 27 s0 a0 c0"
  [ "$(printed)" = "$want" ] || fail "keys read:"$'\n'"$(printed)"
  ;;

pad)
  # A virtual gamepad plugged in while the window is open: the D-pad and
  # stick as arrows repeating while held, A and Start as Enter, Back as
  # Escape.
  start_xvfb 700x520
  start_probe pad ProbePad
  xdotool windowfocus --sync "$window"
  wait_exit "$probe_pid" $((WAIT_LIMIT_S * 1000))
  [ "$status" -eq 0 ] || fail "status $status: $(printed)"
  printed
  line() { printed | sed -n "s/^$1: //p"; }
  [ "$(line plug)" = none ] || fail "keys without a press: $(line plug)"
  # Seven Up keys: at once, after about 400 ms, then about every 50 ms.
  line hold | tr ' ' '\n' | awk -F@ '
    { code[NR] = $1; at[NR] = $2 }
    END {
      ok = NR == 7 && at[1] < 60 && at[2] >= 380 && at[2] <= 520
      for (i = 1; i <= NR; i++) ok = ok && code[i] == 38
      for (i = 3; i <= NR; i++) ok = ok && at[i] - at[i - 1] >= 30 && at[i] - at[i - 1] <= 110
      ok = ok && at[7] - at[2] >= 230 && at[7] - at[2] <= 400
      exit !ok
    }' || fail "the held D-pad: $(line hold)"
  [ "$(line released)" = none ] || fail "keys after the D-pad was let go: $(line released)"
  [ "$(line 'dead zone')" = none ] || fail "the stick within its dead zone: $(line 'dead zone')"
  [[ $(line stick) =~ ^39@[0-9]+$ ]] || fail "the stick pushed right: $(line stick)"
  [ "$(line centred)" = none ] || fail "the stick let go: $(line centred)"
  [[ "$(line a) $(line start) $(line back) $(line b)" =~ ^13@[0-9]+\ 13@[0-9]+\ 27@[0-9]+\ none$ ]] ||
    fail "buttons: $(line a) / $(line start) / $(line back) / $(line b)"
  [[ $(line up) =~ ^38@[0-9]+$ ]] || fail "the stick pushed up: $(line up)"
  [ "$(line unplugged)" = none ] || fail "keys after the pad was unplugged: $(line unplugged)"
  ;;

keys)
  start_xvfb 1000x700
  start_probe keys ProbeKeys
  xdotool windowfocus --sync "$window"
  xdotool key --delay 30 a Up shift+b ctrl+Left alt+x Return F5 1 space Escape
  wait_exit "$probe_pid" $((WAIT_LIMIT_S * 1000))
  [ "$status" -eq 0 ] || fail "status $status after Escape"
  # Modifier keys are keys too, and are down at their own press.
  want="key 65 s0 a0 c0
key 38 s0 a0 c0
key 16 s1 a0 c0
key 66 s1 a0 c0
key 17 s0 a0 c1
key 37 s0 a0 c1
key 18 s0 a1 c0
key 88 s0 a1 c0
key 13 s0 a0 c0
key 116 s0 a0 c0
key 49 s0 a0 c0
key 32 s0 a0 c0
key 27 s0 a0 c0"
  [ "$(printed)" = "$want" ] || fail "keys read:"$'\n'"$(printed)"
  ;;

reset)
  # A lost graphics device takes the textures with it: the window makes
  # them again, shows the same picture, and goes on showing new ones.
  export VEXLO_ASPECT=off
  start_xvfb 700x450
  start_probe reset ProbeReset
  wait_line reset
  want="ff0000 0000ff 00ff00"
  seen=$(pixels 0 0 320 200 639 399)
  [ "$seen" = "$want" ] || fail "after the reset: $seen"
  xdotool windowfocus --sync "$window" key space
  wait_line yellow
  want="ff0000 ffff00 00ff00"
  until_true 'seen=$(pixels 0 0 320 200 639 399); [ "$seen" = "$want" ]' || fail "the next picture: $seen"
  xdotool key Escape
  wait_exit "$probe_pid" $((WAIT_LIMIT_S * 1000))
  [ "$status" -eq 0 ] || fail "status $status: $(printed)"
  ;;

close)
  # "keys" waits in a blocking read, "paced" runs a paced update loop. Each
  # later update, keyPressed and read must throw Closed too ("closed 3").
  start_xvfb 1000x700
  for mode in keys paced; do
    for how in close INT TERM; do
      start_probe "$mode" "ProbeClose$mode$how"
      # Once it sleeps, the probe waits: for events, or for its next frame.
      until_true '[ "$(awk "{ print \$3 }" "/proc/$probe_pid/stat")" = S ]' || fail "$mode: the probe never waited"
      if [ "$how" = close ]; then "$x11_tool" close "$window"; else kill -s "$how" "$probe_pid"; fi
      wait_exit "$probe_pid" $((WAIT_LIMIT_S * 1000))
      [ "$status" -eq 0 ] || fail "$mode, $how: status $status"
      [ "$elapsed_ms" -le 500 ] || fail "$mode, $how: ended after $elapsed_ms ms"
      [ "$(printed)" = "closed 3" ] || fail "$mode, $how: $(printed)"
      echo "$mode, $how: ended in $elapsed_ms ms"
    done
  done
  ;;

pace)
  start_xvfb 1000x700
  start_probe pace ProbePace
  wait_exit "$probe_pid" $((WAIT_LIMIT_S * 1000))
  [ "$status" -eq 0 ] || fail "status $status"
  printed
  # 140 frames at 70 a second. After a stall the window catches up by
  # leaving at most six frames off the screen, at once; the seventh is
  # shown and, still behind, the schedule starts afresh from it. So the
  # seventh and the five after it take at least five frames (71.4 ms):
  # however long showing the seventh took, the fifth after it waits for
  # its time. A burst to make up the whole stall would take far less.
  printed | awk '/^pace/ { ok = $2 > 1.96 && $2 < 2.12 }
                 /^gaps/ { for (i = 8; i <= NF; i++) sum += $i; ok = ok && sum > 68 }
                 END { exit !ok }' || fail "pace"
  ;;

errors)
  # Reported on stderr, and in a box only where a display is available and
  # VEXLO_NO_MESSAGE_BOX is not set.
  status=0
  out=$(unset DISPLAY WAYLAND_DISPLAY SDL_VIDEODRIVER; VEXLO_NO_MESSAGE_BOX=1 "$probe" keys T 2>&1) || status=$?
  [ "$status" -eq 3 ] || fail "no display: status $status"
  [ "$out" = "vexlo-race: no display: set DISPLAY or WAYLAND_DISPLAY" ] || fail "no display: $out"
  start_xvfb 1000x700
  status=0
  out=$(SDL_VIDEODRIVER=nonesuch timeout "$WAIT_LIMIT_S" "$probe" keys T 2>&1) || status=$?
  [ "$status" -eq 3 ] || fail "SDL failure: status $status"
  [ "$out" = "vexlo-race: cannot start SDL video: nonesuch not available" ] || fail "SDL failure: $out"
  unset VEXLO_NO_MESSAGE_BOX
  SDL_VIDEODRIVER=nonesuch "$probe" keys T >/dev/null 2>&1 &
  started+=($!)
  until_true "xwininfo -root -tree | grep -q '\"Error\": '" || fail "no message box"
  ;;

*)
  fail "unknown group $3"
  ;;
esac
echo "ok: $3"

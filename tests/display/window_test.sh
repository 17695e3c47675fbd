#!/usr/bin/env bash
# The SDL window as a player meets it: the window probe on a private X
# server, keys from xdotool, the close button's request from x11_tool,
# signals from here.
# Usage: window_test.sh PROBE X11_TOOL picture|keys|close|pace|errors
. "$(dirname "$0")/x11_session.sh"
probe=$1
x11_tool=$2

# start_probe MODE TITLE: starts the probe and waits until its window shows
# the picture; sets $probe_pid and $window.
start_probe() {
  "$probe" "$1" "$2" >"$tmp/out" 2>&1 &
  probe_pid=$!
  started+=("$probe_pid")
  for _ in $(seq 200); do
    grep -qx ready "$tmp/out" && break
    sleep 0.05
  done
  grep -qx ready "$tmp/out" || fail "$1: the probe did not open its window: $(cat "$tmp/out")"
  window=$(window_of "$2") || fail "no window titled $2"
}

# What the probe printed after "ready".
printed() { awk 'seen; /^ready$/ { seen = 1 }' "$tmp/out"; }

# pixels X Y [X Y]...: the window's pixels as rrggbb.
pixels() { "$x11_tool" pixels "$window" "$@"; }

case $3 in
picture)
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
  for _ in $(seq 100); do
    seen=$(pixels 0 49 0 50 2 52 0 53 959 649 959 650)
    [ "$seen" = "$want" ] && break
    sleep 0.03
  done
  [ "$seen" = "$want" ] || fail "letterboxed picture: $seen"
  xdotool windowfocus --sync "$window" key Escape
  wait_exit "$probe_pid" 5000
  [ "$status" -eq 0 ] || fail "status $status after Escape"
  ;;

keys)
  start_xvfb 1000x700
  start_probe keys ProbeKeys
  xdotool windowfocus --sync "$window"
  xdotool key --delay 30 a Up shift+b ctrl+Left alt+x Return F5 1 space Escape
  wait_exit "$probe_pid" 5000
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

close)
  # "keys" waits in a blocking read, "paced" runs a paced update loop. Each
  # later update, keyPressed and read must throw Closed too ("closed 3").
  start_xvfb 1000x700
  for mode in keys paced; do
    for how in close INT TERM; do
      start_probe "$mode" "ProbeClose$mode$how"
      sleep 0.2
      if [ "$how" = close ]; then "$x11_tool" close "$window"; else kill -s "$how" "$probe_pid"; fi
      wait_exit "$probe_pid" 5000
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
  wait_exit "$probe_pid" 10000
  [ "$status" -eq 0 ] || fail "status $status"
  printed
  # 140 frames at 70 a second. After a stall the schedule starts afresh from
  # the first update: the 5 after it take 5 frames (71.4 ms) or, when late,
  # more; a burst to make up the lost time would take far less.
  printed | awk '/^pace/ { ok = $2 > 1.96 && $2 < 2.12 }
                 /^gaps/ { for (i = 3; i <= NF; i++) sum += $i; ok = ok && sum > 65 }
                 END { exit !ok }' || fail "pace"
  ;;

errors)
  # Reported on stderr, and in a box only where a display is available and
  # VEXLO_NO_MESSAGE_BOX is not set.
  status=0
  out=$(unset DISPLAY WAYLAND_DISPLAY SDL_VIDEODRIVER; VEXLO_NO_MESSAGE_BOX=1 "$probe" keys T 2>&1) || status=$?
  [ "$status" -eq 3 ] || fail "no display: status $status"
  [ "$out" = "Error: no display: set DISPLAY or WAYLAND_DISPLAY" ] || fail "no display: $out"
  start_xvfb 1000x700
  status=0
  out=$(SDL_VIDEODRIVER=nonesuch timeout 5 "$probe" keys T 2>&1) || status=$?
  [ "$status" -eq 3 ] || fail "SDL failure: status $status"
  [ "$out" = "Error: cannot start SDL video: nonesuch not available" ] || fail "SDL failure: $out"
  unset VEXLO_NO_MESSAGE_BOX
  SDL_VIDEODRIVER=nonesuch "$probe" keys T >/dev/null 2>&1 &
  started+=($!)
  for _ in $(seq 100); do
    xwininfo -root -tree | grep -q '"Error": ' && break
    sleep 0.05
  done
  xwininfo -root -tree | grep -q '"Error": ' || fail "no message box"
  ;;

*)
  fail "unknown group $3"
  ;;
esac
echo "ok: $3"

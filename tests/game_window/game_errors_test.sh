#!/usr/bin/env bash
# The real game where it cannot run: without any display, and without its
# pictures. Each ends at once with status 1 and one line naming the cause.
#   game_errors_test.sh GAME SOURCE_DIR
set -u
game=$1 source=$2
failures=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

err=$(cd "$source" && env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER SDL_AUDIODRIVER=dummy \
      VEXLO_NO_MESSAGE_BOX=1 timeout 10 "$game" 2>&1 >/dev/null)
status=$?
if [ $status -ne 1 ] || [[ $err != *"no display"* ]]; then
  echo "FAIL without a display: status $status, stderr: $err"; failures=$((failures + 1))
fi

err=$(cd "$work" && DISPLAY=:99999 timeout 10 "$game" 2>&1 >/dev/null)
status=$?
if [ $status -ne 1 ] || [[ $err != *"data/gentil.raw"* ]]; then
  echo "FAIL without data/: status $status, stderr: $err"; failures=$((failures + 1))
fi

[ $failures -eq 0 ] && echo "ok: no display and no pictures both end with status 1 and say why"
[ $failures -eq 0 ]

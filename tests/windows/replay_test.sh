#!/usr/bin/env bash
# The Windows replay tool, from the zip, under Wine gives every golden run
# the native one gives: the same frames.txt, sound.txt, messages.txt and
# exit line, byte for byte (tests/replay/run_golden.sh compares them).
#   replay_test.sh ZIP SOURCE_DIR
if [ $# -ne 2 ]; then
  echo "usage: $0 ZIP SOURCE_DIR" >&2
  exit 2
fi
. "$(dirname "$0")/../support/x11_session.sh"
. "$(dirname "$0")/wine_session.sh"
source_dir=$(realpath "$2")
unpack_zip "$1"
start_wine
export VEXLO_WINDOWS_EXE=$windows_game/replay.exe
count=0
for keys in "$source_dir"/tests/replay/*.keys; do
  name=$(basename "$keys" .keys)
  "$source_dir/tests/replay/run_golden.sh" "$run_exe" "$source_dir" "$name" || fail "replay.exe: $name"
  count=$((count + 1))
done
[ "$count" -ge 6 ] || fail "only $count golden runs"
echo "ok: replay.exe gives all $count golden runs byte for byte"

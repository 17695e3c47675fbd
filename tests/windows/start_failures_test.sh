#!/usr/bin/env bash
# A picture that cannot be read: the Windows game shows the Linux game's
# line in a box titled "Error" (read back with wine_helper.exe) and, once
# the player closes it, ends with the Linux game's status. Started with no
# stderr, as from the desktop, it writes the line to vexlo-race.log in
# %APPDATA%\vexlo-race\ instead.
#   start_failures_test.sh ZIP SOURCE_DIR GAME X11_TOOL
if [ $# -ne 4 ]; then
  echo "usage: $0 ZIP SOURCE_DIR GAME X11_TOOL" >&2
  exit 2
fi
. "$(dirname "$0")/../support/x11_session.sh"
. "$(dirname "$0")/wine_session.sh"
zip=$(realpath "$1")
source_dir=$(realpath "$2")
linux_game=$(realpath "$3")
x11_tool=$(realpath "$4")
export SDL_AUDIODRIVER=dummy

start_xvfb 800x600
start_wine
unpack_zip "$zip"
rm "$windows_game/data/titre.raw"

# The Linux game in the same state: its line and its status.
mkdir -p "$tmp/linux"
cp -r "$source_dir/data" "$tmp/linux/"
rm "$tmp/linux/data/titre.raw"
linux_status=0
(cd "$tmp/linux" && "$linux_game") >"$tmp/linux.err" 2>&1 || linux_status=$?
linux_line=$(cat "$tmp/linux.err")
[ "$linux_status" -ne 0 ] && [[ $linux_line == "vexlo-race: "* ]] ||
  fail "the Linux game: status $linux_status, '$linux_line'"

# The Windows game: the same line on stderr, and in a box until closed.
(cd "$windows_game" && env -u VEXLO_NO_MESSAGE_BOX "$wine" vexlo-race.exe) >"$tmp/err" 2>&1 &
game_pid=$!
started+=("$game_pid")
box_id() { xwininfo -name Error 2>/dev/null | sed -n 's/.*Window id: \(0x[0-9a-f]*\).*/\1/p'; }
until_true '[ -n "$(box_id)" ]' || fail "no box: $(cat "$tmp/err")"
"$wine" "$helper" text Error >"$tmp/box" || fail "no box titled Error among the windows"
grep -qxF "${linux_line#vexlo-race: }" "$tmp/box" || fail "the box says: $(cat "$tmp/box"); Linux said: $linux_line"
"$x11_tool" close "$(box_id)"
wait_exit "$game_pid" $((WAIT_LIMIT_S * 1000))
[ "$status" -eq "$linux_status" ] || fail "status $status, on Linux $linux_status"
[ "$(cat "$tmp/err")" = "$linux_line" ] || fail "stderr: '$(cat "$tmp/err")'; Linux: '$linux_line'"
echo "the box says '$(paste -sd '|' "$tmp/box")' as Linux said it; status $status"

# Started as from the desktop, with no standard handles, the line goes to
# the log in %APPDATA%\vexlo-race.
status=0
(cd "$windows_game" && "$wine" "$helper" start '.\vexlo-race.exe') || status=$?
log=$(find "$WINEPREFIX/drive_c/users" -path '*/AppData/Roaming/vexlo-race/vexlo-race.log')
[ "$status" -eq "$linux_status" ] && [ -f "$log" ] || fail "started as from the desktop: status $status, no log"
grep -qxF "$linux_line" "$log" || fail "the log: $(cat "$log")"
echo "started as from the desktop, the log has it: $(tail -n 1 "$log")"
echo "ok: start failures"

#!/usr/bin/env bash
# The Windows game from the zip under Wine, as a player on Windows uses it:
# its window shows the title exactly as the replay tool draws it, keys from
# xdotool play a game to its game-over screen, the game is kept in
# %APPDATA%\vexlo-race\games (here under a user name that is not ASCII) and
# the native replay tool plays the kept keys to the same score; the sound,
# through SDL's disk output, has its music and its explosion; and
# --submit latest sends the game over WinHTTP to a vexlo-board of the
# test's own, which verifies that score.
#   game_test.sh ZIP SOURCE_DIR X11_TOOL WINDOW_CHECK REPLAY BOARD
if [ $# -ne 6 ]; then
  echo "usage: $0 ZIP SOURCE_DIR X11_TOOL WINDOW_CHECK REPLAY BOARD" >&2
  exit 2
fi
zip=$(realpath "$1")
board=$(realpath "$6")
here=$(dirname "$0")
# The game starts in the source tree and changes to its own folder, the
# unpacked zip's, as it does when started from anywhere on Windows.
set -- "$here/run_exe.sh" "$2" "$3" "$4" "$5" windows
. "$here/../game_window/game_session.sh"
. "$here/wine_session.sh"
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY
# Wine names the Windows user, and so %APPDATA%, after USER.
export USER="Zoë Łukasz"

start_xvfb 700x520
start_wine
unpack_zip "$zip"
export VEXLO_WINDOWS_EXE=$windows_game/vexlo-race.exe
appdata=$WINEPREFIX/drive_c/users/$USER/AppData/Roaming
[ -d "$appdata" ] || fail "no %APPDATA% for '$USER': $(ls "$WINEPREFIX/drive_c/users")"

# The title, as the replay tool draws it, pixel for pixel.
replay_title
start_game
[ "$(size_of)" = 640x480 ] || fail "first size $(size_of)"
wait_for 'screen=title' 400
cmp -s "$tmp/frame.raw" "$tmp/replay/frame-271.raw" || fail "the title differs from the replay's"
echo "the window shows the title as the replay tool draws it, pixel for pixel"

# A game at speed 5 until the traffic hits the car; the game-over screen
# waits for a key.
xdotool key space
wait_for 'screen=play' "$key_updates"
xdotool key --delay 40 Down Down Right Right Right Right
wait_for 'screen=gameover' 2500
[[ $seen =~ ^screen=gameover\ final=([0-9]+)$ ]] || fail "not a game-over screen: $seen"
final=${BASH_REMATCH[1]}
wait_sound 300
xdotool key space
ended_cleanly $((WAIT_LIMIT_S * 1000))
# (SDL's disk output announces itself; the game has nothing to say.)
! grep -q "^vexlo-race:" "$tmp/game.log" || fail "the game said: $(cat "$tmp/game.log")"
echo "played to the game-over screen ($final points) and ended with status 0"

# Kept in %APPDATA%\vexlo-race\games; the native replay tool plays the kept
# keys to the same game-over screen.
kept=("$appdata"/vexlo-race/games/game-*.keys)
[ ${#kept[@]} -eq 1 ] && [ -f "${kept[0]}" ] || fail "kept games: $(ls -R "$appdata/vexlo-race" 2>&1)"
kept=${kept[0]}
grep -qx "# end: game over" "$kept" && grep -qx "# score: $final" "$kept" || fail "the kept file: $(head -n 6 "$kept")"
! grep -q $'\r' "$kept" || fail "the kept file has Windows line ends"
# The game-over screen is the frame before the last, black one. (The
# replay tool's sound goes nowhere, not over the game's.)
(cd "$workdir" && SDL_AUDIODRIVER=dummy "$replay" --keys "$kept" --out "$tmp/kept" >/dev/null) || fail "the replay tool refused $kept"
over=$(($(wc -l <"$tmp/kept/frames.txt") - 1))
(cd "$workdir" && SDL_AUDIODRIVER=dummy "$replay" --keys "$kept" --out "$tmp/kept" --dump "$over" >/dev/null) || fail "the replay tool refused $kept"
replayed=$(describe "$tmp/kept/frame-$over.raw")
[ "$replayed" = "screen=gameover final=$final" ] || fail "the native replay of the kept game shows: $replayed"
echo "kept as $(basename "$kept") in %APPDATA%; the native replay tool shows the same game over, $final points"

# The sound: the music through the game, and the explosion once.
"$window_check" levels "$tmp/audio.raw" 250 >"$tmp/levels"
(cd "$workdir" && "$window_check" find data/explode.mp3 "$tmp/audio.raw") >"$tmp/found"
read -r _ boom_at boom <<<"$(grep ^best "$tmp/found")"
loud=$(awk '$2 > 0.01 { n++ } END { print n + 0 }' "$tmp/levels")
total=$(wc -l <"$tmp/levels")
awk -v b="$boom" 'BEGIN { exit !(b >= 0.6) }' && [ "$loud" -ge $((total / 2)) ] ||
  fail "the sound: $loud of $total stretches of 250 ms loud, the explosion's correlation $boom"
echo "the sound: $loud of $total stretches of 250 ms heard, the explosion at $boom_at ms (correlation $boom)"

# Sent over WinHTTP to a score server of our own, on a private PostgreSQL.
db=$(mktemp -d /tmp/vexlo-windows-db.XXXXXX)
chmod 755 "$db"
trap 'bash "$workdir/scripts/board-db.sh" stop "$db" >/dev/null 2>&1; rm -rf "$db"; wine_cleanup; cleanup' EXIT
url=$(BOARD_DB_SETTINGS="-c fsync=off" bash "$workdir/scripts/board-db.sh" start "$db") || fail "PostgreSQL did not start"
DATABASE_URL=$url "$board" serve --port 0 --rate 0 >"$tmp/serve.log" 2>&1 &
started+=($!)
DATABASE_URL=$url "$board" worker --game-dir "$workdir" >"$tmp/worker.log" 2>&1 &
started+=($!)
until_true 'grep -q "serving http://127.0.0.1:" "$tmp/serve.log"' || fail "the server did not start: $(cat "$tmp/serve.log")"
server=$(grep -o 'http://127.0.0.1:[0-9]*' "$tmp/serve.log" | head -n1)
status=0
out=$(wine_run "$VEXLO_WINDOWS_EXE" --submit latest --name "Zoë Łukasz" --server "$server" 2>"$tmp/err") || status=$?
[ "$status" -eq 0 ] && [ "$out" = "verified: rank 1 of 1, score $final" ] ||
  fail "--submit latest: status $status, '$out', $(cat "$tmp/err"); the worker: $(tail -n 3 "$tmp/worker.log")"
python3 -c 'import json, sys, urllib.request
board = json.load(urllib.request.urlopen(sys.argv[1] + "/api/board"))
names = [run["name"] for run in board["runs"]]
sys.exit(0 if names == ["Zoë Łukasz"] else "the board: %r" % names)' "$server" || fail "the name on the board"
echo "--submit latest over WinHTTP: $out, under the name 'Zoë Łukasz'"
status=0
wine_run "$VEXLO_WINDOWS_EXE" --submit latest --name Ann --server http://127.0.0.1:1 >"$tmp/out" 2>"$tmp/err" || status=$?
[ "$status" -eq 1 ] && [ ! -s "$tmp/out" ] && [ "$(wc -l <"$tmp/err")" -eq 1 ] &&
  grep -qx "vexlo-race: cannot reach the score server at http://127.0.0.1:1: .*could not be established" "$tmp/err" ||
  fail "no server: status $status, $(cat "$tmp/out" "$tmp/err")"
echo "no server: $(cat "$tmp/err")"
echo "ok: the Windows game"

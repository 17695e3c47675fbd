#!/usr/bin/env bash
# Every game played is kept: a real game played in the window to its
# game-over screen is kept in the games folder, listed by --scores with the
# score that screen showed, watched again with --watch best, and sent with
# --submit latest to a score server of our own (vexlo-board serve and a
# worker, on a private PostgreSQL started here), which plays it again and
# verifies that score, the name then the player's. Hostile things in the games folder each cost one
# line; a games folder that cannot be made costs one line, never the game.
#   kept_games_test.sh GAME SOURCE_DIR X11_TOOL WINDOW_CHECK BOARD
if [ $# -ne 5 ]; then
  echo "usage: $0 GAME SOURCE_DIR X11_TOOL WINDOW_CHECK BOARD" >&2
  exit 2
fi
. "$(dirname "$0")/../support/x11_session.sh"
game=$(realpath "$1")
workdir=$(realpath "$2")
x11_tool=$(realpath "$3")
window_check=$(realpath "$4")
board=$(realpath "$5")
title="Vexlo Race by Tamsel 2001"
export SDL_AUDIODRIVER=dummy XDG_DATA_HOME=$tmp/data
games=$XDG_DATA_HOME/vexlo-race/games
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY

# The score server's database: a folder the user postgres may enter, as
# scripts/board-db.sh asks when run as root; stopped at the end.
db=$(mktemp -d /tmp/vexlo-kept-db.XXXXXX)
chmod 755 "$db"
trap 'bash "$workdir/scripts/board-db.sh" stop "$db" >/dev/null 2>&1; rm -rf "$db"; cleanup' EXIT
url=$(BOARD_DB_SETTINGS="-c fsync=off" bash "$workdir/scripts/board-db.sh" start "$db") || fail "PostgreSQL did not start"
DATABASE_URL=$url "$board" serve --port 0 --rate 0 >"$tmp/serve.log" 2>&1 &
started+=($!)
DATABASE_URL=$url "$board" worker --game-dir "$workdir" >"$tmp/worker.log" 2>&1 &
started+=($!)
until_true 'grep -q "serving http://127.0.0.1:" "$tmp/serve.log"' || fail "the server did not start: $(cat "$tmp/serve.log")"
server=$(grep -o 'http://127.0.0.1:[0-9]*' "$tmp/serve.log" | head -n1)

# look: the picture in the window, described (square pixels, each a block
# of 2 x 2 in a window of 640 x 400); sets $seen.
look() {
  "$x11_tool" grab "$window" 0 0 640 400 "$tmp/area.raw" &&
    "$window_check" sample "$tmp/area.raw" 640 400 "$tmp/frame.raw" &&
    seen=$(cd "$workdir" && "$window_check" describe "$tmp/frame.raw")
}

# A game at speed 5 until the traffic hits the car; the game-over screen
# waits for a key. The wait is counted in the game's updates.
export VEXLO_ASPECT=off
start_xvfb 700x450
start_game
[ "$(size_of)" = 640x400 ] || fail "first size $(size_of)"
until_true '[ "$(updates)" -ge 271 ]' || fail "the title did not stand whole"
xdotool key space
xdotool key --delay 40 Down Down Right Right Right Right
first=$(updates)
until_true 'look && [[ $seen == screen=gameover* || $(($(updates) - first)) -gt 2500 ]]' ||
  fail "no game-over screen: $seen"
[[ $seen =~ ^screen=gameover\ final=([0-9]+)$ ]] || fail "no game-over screen in 2500 updates: $seen"
final=${BASH_REMATCH[1]}
xdotool key space
wait_exit "$game_pid" $((WAIT_LIMIT_S * 1000))
[ "$status" -eq 0 ] && [ ! -s "$tmp/game.log" ] || fail "status $status: $(cat "$tmp/game.log")"
played=$(updates)
echo "played a game of $played updates; the game-over screen showed $final"

# Listed by --scores, the best first.
(cd "$workdir" && "$game" --scores) >"$tmp/scores" 2>"$tmp/err" || fail "--scores: $(cat "$tmp/err")"
read -r rank score _ _ race file < <(sed -n 2p "$tmp/scores")
[ "$rank" = 1 ] && [ "$score" = "$final" ] && [ "$race" = classic ] && [[ $file == "$games"/game-*.keys ]] && [ -f "$file" ] ||
  fail "--scores: $(cat "$tmp/scores")"
grep -qx "# end: game over" "$file" && grep -qx "# score: $final" "$file" || fail "the kept file: $(head -n 6 "$file")"
echo "kept in $file, listed: $(sed -n 2p "$tmp/scores")"

# Watched again as the best kept game: it ends by itself after as many updates.
start_game --watch best
wait_exit "$game_pid" $((WAIT_LIMIT_S * 1000 * 3))
[ "$status" -eq 0 ] && [ "$(updates)" = "$played" ] ||
  fail "--watch best: status $status after $(updates) updates, $played played; $(cat "$tmp/game.log")"
echo "--watch best plays it again in the same $played updates"

# Sent to the server: verified with the screen's score. The same game again
# (the server from the settings file, the game named as the best) is no new
# score; a server that does not answer is said so.
status=0
out=$(cd "$workdir" && "$game" --submit latest --name "Window Tester" --server "$server" 2>"$tmp/err") || status=$?
[ "$status" -eq 0 ] && [ "$out" = "verified: rank 1 of 1, score $final" ] ||
  fail "--submit latest: status $status, '$out', $(cat "$tmp/err"); the worker: $(tail -n 3 "$tmp/worker.log")"
echo "--submit latest: $out"
# Watched from its link, as the page shares it (the board's first run), at
# x8: the same updates, the window's title saying whose run it is; a run
# the board does not show is one line.
start_game_of_class --watch "$server/index.html#run=1" --speed 8
shown="Vexlo Race — watching Window Tester: $final points, rank 1, classic race"
[ "$(xdotool getwindowname "$window")" = "$shown" ] ||
  fail "the watched run's window is titled '$(xdotool getwindowname "$window")'"
wait_exit "$game_pid" $((WAIT_LIMIT_S * 1000))
[ "$status" -eq 0 ] && [ "$(updates)" = "$played" ] ||
  fail "--watch a link: status $status after $(updates) updates, $played played; $(cat "$tmp/game.log")"
status=0
(cd "$workdir" && "$game" --watch "$server/index.html#run=99") >/dev/null 2>"$tmp/err" || status=$?
[ "$status" -eq 1 ] && [ "$(cat "$tmp/err")" = "vexlo-race: run 99 is not on the board at $server/ (unknown, or hidden by its moderators)" ] ||
  fail "--watch an unknown run's link: status $status, $(cat "$tmp/err")"
echo "--watch its link plays the same $played updates; an unknown run's link is one line"
# The first --submit made the player's key, for the player alone, which
# --player-key prints; with another key (another player's data folder) the
# name is refused, in any case.
key_file=$XDG_DATA_HOME/vexlo-race/player.key
[ "$(stat -c %a "$key_file")" = 600 ] || fail "the player key file has mode $(stat -c %a "$key_file")"
[ "$("$game" --player-key)" = "$(cat "$key_file")" ] || fail "--player-key: $("$game" --player-key 2>&1)"
status=0
out=$(cd "$workdir" && XDG_DATA_HOME=$tmp/other "$game" --submit "$(ls -t "$games"/*.keys | head -n1)" \
  --name "WINDOW TESTER" --server "$server" 2>"$tmp/err") || status=$?
[ "$status" -eq 1 ] && [ -z "$out" ] &&
  [ "$(cat "$tmp/err")" = "vexlo-race: the score server refused the run: this name belongs to another player" ] ||
  fail "another player's key: status $status, '$out', $(cat "$tmp/err")"
echo "another player's key: $(cat "$tmp/err")"
mkdir -p "$XDG_CONFIG_HOME/vexlo-race"
echo "server = $server" >>"$XDG_CONFIG_HOME/vexlo-race/settings.conf"
status=0
out=$(cd "$workdir" && "$game" --submit best --name "Copier" 2>"$tmp/err") || status=$?
[ "$status" -eq 1 ] && [[ $out == "rejected: "* ]] || fail "the same game again: status $status, '$out', $(cat "$tmp/err")"
echo "the same game again: $out"
status=0
(cd "$workdir" && "$game" --submit latest --name Ann --server http://127.0.0.1:1) >"$tmp/out" 2>"$tmp/err" || status=$?
[ "$status" -eq 1 ] && [ ! -s "$tmp/out" ] && [ "$(wc -l <"$tmp/err")" -eq 1 ] &&
  grep -q "^vexlo-race: cannot reach the score server at http://127.0.0.1:1: " "$tmp/err" ||
  fail "no server: status $status, $(cat "$tmp/out" "$tmp/err")"
echo "no server: $(cat "$tmp/err")"

# Hostile things in the folder: each passed by with one line, none removed.
printf '\x7fELF\x02\x01' >"$games/garbage.keys"
head -c $((5 * 1024 * 1024)) /dev/zero >"$games/huge.keys"
ln -s /etc/passwd "$games/link.keys"
mkdir "$games/folder.keys"
mkfifo "$games/fifo.keys"
(cd "$workdir" && timeout 20 "$game" --scores) >"$tmp/scores" 2>"$tmp/err" || fail "--scores: $(cat "$tmp/err")"
[ "$(grep -c '^vexlo-race: skipped ' "$tmp/err")" -eq 5 ] && [ "$(wc -l <"$tmp/err")" -eq 5 ] ||
  fail "hostile files: $(cat "$tmp/err")"
[ "$(sed -n 2p "$tmp/scores" | awk '{print $2}')" = "$final" ] && [ "$(wc -l <"$tmp/scores")" -eq 2 ] ||
  fail "hostile files: $(cat "$tmp/scores")"
[ "$(find "$games" -mindepth 1 -maxdepth 1 | wc -l)" -eq 6 ] || fail "removed: $(ls -l "$games")"
echo "hostile files: $(sed 's/^vexlo-race: skipped .*, which //' "$tmp/err" | paste -sd ';')"

# A games folder that cannot be made: one line, and the game plays.
: >"$tmp/a-file"
XDG_DATA_HOME=$tmp/a-file start_game
"$x11_tool" close "$window"
wait_exit "$game_pid" $((WAIT_LIMIT_S * 1000))
[ "$status" -eq 0 ] && [ "$(wc -l <"$tmp/game.log")" -eq 1 ] && grep -q "this game is not kept" "$tmp/game.log" ||
  fail "an unwritable games folder: status $status, $(cat "$tmp/game.log")"
echo "an unwritable games folder: $(cat "$tmp/game.log")"
echo "ok: kept games"

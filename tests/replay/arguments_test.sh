#!/usr/bin/env bash
# The replay tool's command line at its edges: what it refuses (exit 2, one
# clear line) and what it accepts.
#   arguments_test.sh REPLAY SOURCE_DIR
set -uo pipefail
replay=$1 source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
cd "$source"
printf '272 13\n300 27\n' >"$work/game.keys"

# run ARGS...: sets $status and $err.
run() {
  "$replay" "$@" >"$work/stdout.txt" 2>"$work/stderr.txt"
  status=$?
  err=$(head -n1 "$work/stderr.txt")
}

# A score the game cannot hold is refused before anything runs: the largest
# int would overflow in the first frame.
for score in 2147483647 1000000001 -1 12x; do
  run --keys "$work/game.keys" --out "$work/refused" --start-score "$score"
  [ "$status" -eq 2 ] || fail "--start-score $score: status $status"
  [[ $err == "replay: "*"--start-score"*"$score"* ]] || fail "--start-score $score: '$err'"
  [ ! -e "$work/refused" ] || fail "--start-score $score: output written"
done
# ... and every score up to its wrap is played, in a folder made with its parents.
run --keys "$work/game.keys" --out "$work/made/for/it" --start-score 1000000000
[ "$status" -eq 0 ] || fail "--start-score 1000000000 into a new folder: status $status, '$err'"
[ "$(wc -l <"$work/made/for/it/frames.txt" 2>/dev/null)" = 301 ] || fail "no whole game in the new folder"

# A malformed key script names its file and line.
printf '10 27\n# a comment\n20 Escape\n' >"$work/bad.keys"
run --keys "$work/bad.keys" --out "$work/bad"
[ "$status" -eq 2 ] && [[ $err == "replay: $work/bad.keys:3: "* ]] || fail "bad key script: status $status, '$err'"
# Numbers that mean nothing are refused the same way.
for line in "-5 13" "1000000000001 13" "5 -3" "5 99999"; do
  printf '272 13\n%s\n' "$line" >"$work/bad.keys"
  run --keys "$work/bad.keys" --out "$work/bad"
  [ "$status" -eq 2 ] && [[ $err == "replay: $work/bad.keys:2: "* ]] || fail "'$line': status $status, '$err'"
done
# An output folder that cannot be made.
: >"$work/file"
run --keys "$work/game.keys" --out "$work/file/sub"
[ "$status" -eq 2 ] && [[ $err == "replay: cannot create $work/file/sub"* ]] || fail "unmakeable folder: status $status, '$err'"

[ "$failures" -eq 0 ] && echo "ok: the replay tool's arguments"
exit "$failures"

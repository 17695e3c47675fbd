#!/usr/bin/env bash
# The daily race in the replay tool: the same keys in the classic race and
# in the races of two days show the same intro and title, then different
# traffic; a race line it cannot take ends the tool with status 2, the line
# named.
#   daily_race_test.sh REPLAY SOURCE_DIR
set -uo pipefail
replay=$1 source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
cd "$source"

# play NAME FIRST_LINE: the keys of the classic game at speed 5, after that line.
play() {
  { [ -n "$2" ] && echo "$2"; grep -v '^#' tests/replay/crash_speed5.keys; } >"$work/$1.keys"
  "$replay" --keys "$work/$1.keys" --out "$work/$1" >/dev/null 2>&1 || fail "$1: the replay tool failed"
}
play classic ""
play first "race daily 2026-01-01"
play second "race daily 2026-01-02"
play again "# the same day, written again
race   daily 2026-01-02   # a comment"
cmp -s "$work/second/frames.txt" "$work/again/frames.txt" || fail "one day's race is not the same game twice"
# The intro and the title (271 updates) are the same in every race; play is not.
for a in classic first second; do
  for b in classic first second; do
    [ "$a" \< "$b" ] || continue
    cmp -s <(head -n 271 "$work/$a/frames.txt") <(head -n 271 "$work/$b/frames.txt") ||
      fail "$a and $b differ before play"
    cmp -s "$work/$a/frames.txt" "$work/$b/frames.txt" && fail "$a and $b meet the same traffic"
  done
done
echo "the classic race and the races of 2026-01-01 and 2026-01-02: one title, three games"

# A race line the reader cannot take: status 2 and the line named.
while IFS='|' read -r script line; do
  printf '%b' "$script" >"$work/bad.keys"
  "$replay" --keys "$work/bad.keys" --out "$work/bad" >/dev/null 2>"$work/err.txt"
  status=$?
  err=$(head -n1 "$work/err.txt")
  [ "$status" -eq 2 ] && [[ $err == "replay: $work/bad.keys:$line: "* ]] || fail "'$script': status $status, '$err'"
done <<'CASES'
race daily 2026-02-30\n272 13\n|1
race daily 2025-12-31\n|1
race weekly 2026-01-01\n|1
272 13\nrace daily 2026-01-01\n|2
race daily 2026-01-01\n# again\nrace daily 2026-01-01\n|3
CASES
echo "malformed, early, late and second race lines refused with status 2"
[ "$failures" -eq 0 ] && echo "ok: the daily race in the replay tool"
exit "$failures"

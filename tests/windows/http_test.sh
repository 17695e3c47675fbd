#!/usr/bin/env bash
# The Windows game's HTTP client (WinHTTP) through --submit, against a
# stand-in server (http_stand_in.py) on loopback: a redirect is not
# followed, an answer past 1 MiB is refused, a 429's Retry-After is waited
# out, the verdict is read from the run's and the board's answers; the name
# reaches the server intact (UTF-8 from the command line to the JSON), as
# JSON, with the game's version as the user agent; the file named is found
# in the folder the game was started from, not in its own.
#   http_test.sh ZIP SOURCE_DIR VERSION
if [ $# -ne 3 ]; then
  echo "usage: $0 ZIP SOURCE_DIR VERSION" >&2
  exit 2
fi
. "$(dirname "$0")/../support/x11_session.sh"
. "$(dirname "$0")/wine_session.sh"
source_dir=$(realpath "$2")
version=$3
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY
start_wine
unpack_zip "$1"
game=$windows_game/vexlo-race.exe
python3 "$(dirname "$0")/http_stand_in.py" "$tmp/requests" 300 >"$tmp/server.out" 2>&1 &
started+=($!)
until_true 'grep -q "^serving" "$tmp/server.out"' || fail "the stand-in did not start: $(cat "$tmp/server.out")"
server=http://127.0.0.1:$(sed -n 's/^serving //p' "$tmp/server.out")
cp "$source_dir/tests/replay/crash_speed1.keys" "$tmp/run.keys"

# submit NAME BASE: runs --submit; sets $status, $out and $err.
submit() {
  status=0
  out=$(cd "$tmp" && wine_run "$game" --submit run.keys --name "$1" --server "$server$2" 2>"$tmp/err") || status=$?
  err=$(cat "$tmp/err")
}

submit "Zoë Łukasz" /moved
[ "$status" -eq 1 ] && [ "$err" = "vexlo-race: the score server refused the run: status 302" ] ||
  fail "a redirect: status $status, '$out', '$err'"
echo "a redirect is not followed: $err"

submit Ann /huge
[ "$status" -eq 1 ] &&
  [ "$err" = "vexlo-race: cannot reach the score server at $server/huge: the answer is larger than 1048576 bytes" ] ||
  fail "a huge answer: status $status, '$out', '$err'"
echo "a huge answer is refused: $err"

submit Ann /busy
[ "$status" -eq 0 ] && [ "$out" = "verified: rank 2 of 9, score 1234" ] || fail "a busy server: status $status, '$out', '$err'"
python3 - "$tmp/requests" "$version" "$tmp/run.keys" <<'PY' || fail "the requests: $(cat "$tmp/requests")"
import json, sys
requests = [json.loads(line) for line in open(sys.argv[1], encoding="utf-8")]
paths = [(r["method"], r["path"]) for r in requests]
assert paths == [("POST", "/moved/api/runs"), ("POST", "/huge/api/runs"), ("POST", "/busy/api/runs"),
                 ("POST", "/busy/api/runs"), ("GET", "/busy/api/runs/7"), ("GET", "/busy/api/board?limit=1")], paths
first = json.loads(requests[0]["body"])
key = first.pop("player_key")
assert first == {"name": "Zoë Łukasz", "keys": open(sys.argv[3]).read()}, requests[0]["body"]
# The player's key, made at the first --submit and kept: the same in every run sent.
assert len(key) == 43 and all(c.isalnum() or c in "-_" for c in key), key
assert all(json.loads(r["body"])["player_key"] == key for r in requests if r["method"] == "POST"), requests
for r in requests:
    assert r["agent"] == "vexlo-race/" + sys.argv[2], r
    assert r["type"] == ("application/json" if r["method"] == "POST" else None), r
PY
echo "a 429 waited out, then: $out; every request as JSON from vexlo-race/$version, the name intact, one player key"
echo "ok: WinHTTP"

#!/usr/bin/env bash
# scripts/board.sh as someone runs it on a new machine: started from
# nothing (it installs, builds and makes its cluster), it must print its
# address only once that answers /api/health, verify a recorded game, stop
# cleanly on SIGTERM, and on the next start still have that run where it
# was left. Takes as long as the
# first build; run it in a clean checkout on a bare Debian 12.
# Usage: board_script_check.sh [PORT]   (default 8091)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
port=${1:-8091}
log=$(mktemp)
server=""
trap '[ -z "$server" ] || kill -TERM "$server" 2>/dev/null; rm -f "$log"' EXIT

fail() {
  echo "FAIL: $*"
  tail -n 30 "$log"
  exit 1
}

# One HTTP/1.1 request over bash's own TCP (a new machine has no curl):
# prints the status code, a newline and the body.
http() {
  local method=$1 path=$2 body=${3:-} reply
  exec 3<>"/dev/tcp/127.0.0.1/$port" || return 1
  printf '%s %s HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n' "$method" "$path" >&3
  [ -z "$body" ] || printf 'Content-Type: application/json\r\nContent-Length: %d\r\n' "${#body}" >&3
  printf '\r\n%s' "$body" >&3
  reply=$(cat <&3)
  exec 3>&-
  printf '%s\n%s\n' "$(head -n 1 <<<"$reply" | cut -d' ' -f2)" "${reply#*$'\r\n\r\n'}"
}

start() {
  : >"$log"
  (cd "$root" && exec bash scripts/board.sh --port "$port" --workers 1) >"$log" 2>&1 &
  server=$!
  local waited=0
  until grep -q "http://127.0.0.1:$port/" "$log"; do
    kill -0 "$server" 2>/dev/null || fail "scripts/board.sh ended before it printed the address"
    [ $waited -lt 3600 ] || fail "no address printed after an hour"
    sleep 1
    waited=$((waited + 1))
  done
  # The address is printed once the server answers.
  [ "$(http GET /api/health 2>/dev/null | head -n 1)" = 200 ] || fail "the address was printed, but nothing answers it"
  echo "ok: scripts/board.sh answers on 127.0.0.1:$port"
}

stop() {
  kill -TERM "$server"
  local status=0
  wait "$server" || status=$?
  server=""
  [ $status -eq 0 ] || fail "scripts/board.sh exited $status on SIGTERM"
  grep -q "^stopped" "$log" || fail "no 'stopped' after SIGTERM"
  ! pgrep -f "vexlo-board (serve --port $port|worker --game-dir $root)" >/dev/null ||
    fail "a server or worker outlived scripts/board.sh"
  ! pgrep -f "postgres.*$root/board-data" >/dev/null || fail "the private cluster outlived scripts/board.sh"
  echo "ok: SIGTERM stopped the server, the worker and the cluster"
}

# The status and score of run N, as "status score".
run_state() {
  http GET "/api/runs/$1" | tail -n 1 |
    sed -n 's/.*"score":\([0-9a-z]*\).*"status":"\([a-z]*\)".*/\2 \1/p;t;s/.*"status":"\([a-z]*\)".*"score":\([0-9a-z]*\).*/\1 \2/p'
}

start
# The web page comes from the same address.
[ "$(http GET / | head -n 1)" = 200 ] || fail "the page is not served at /"

# A game that goes straight to the top speed and drives into the traffic.
keys=$(grep -v '^#' "$root/tests/replay/crash_speed5.keys" | tr '\n' '|' | sed 's/|/\\n/g')
answer=$(http POST /api/runs "{\"name\":\"board.sh check\",\"keys\":\"$keys\"}")
[ "$(head -n 1 <<<"$answer")" = 202 ] || fail "the run was refused: $answer"
id=$(sed -n 's/.*"id":\([0-9]*\).*/\1/p' <<<"$answer")
state=""
for _ in $(seq 600); do
  state=$(run_state "$id")
  case $state in verified* | rejected*) break ;; esac
  sleep 0.2
done
[[ $state == verified\ [0-9]* ]] || fail "run $id ended '$state', not verified"
echo "ok: run $id $state"
stop

start
[ "$(run_state "$id")" = "$state" ] || fail "after a restart run $id is '$(run_state "$id")', not '$state'"
echo "ok: after a restart run $id is still $state"
stop
echo "ok: scripts/board.sh works as written"

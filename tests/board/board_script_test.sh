#!/usr/bin/env bash
# scripts/board.sh with this build's vexlo-board (BOARD_NO_BUILD) on a
# folder of its own: the cluster is private (its folder and socket closed
# to other users, no trust, the role board no superuser); a second board.sh
# on the folder says so, exits 1 and leaves the first running; a worker
# killed with SIGKILL is started again (after a pause that grows) and the
# board goes on verifying; the server killed ends board.sh with a non-zero
# status and stops the rest; a cluster board.sh did not start is left
# running. Some checks need root (another user via runuser) and are skipped
# otherwise.
# Usage: board_script_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$(realpath "$1")
source=$(realpath "$2")
tmp=$(mktemp -d /tmp/vexlo-board-sh.XXXXXX)
chmod 755 "$tmp"
data=$tmp/data
bin=/usr/lib/postgresql/15/bin
board=""
cleanup() {
  [ -z "$board" ] || { kill -TERM "$board" 2>/dev/null; wait "$board" 2>/dev/null; } || true
  bash "$source/scripts/board-db.sh" stop "$data" >/dev/null 2>&1 || true
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  [ ! -f "$tmp/out" ] || { echo "--- board.sh said:" >&2; cat "$tmp/out" >&2; }
  exit 1
}
source "$(dirname "$0")/script_support.sh"

mkdir -p "$tmp/site"
echo "<p>page</p>" >"$tmp/site/index.html"
port=$(free_port)
metrics=$(free_port)
export BOARD_NO_BUILD=1 BUILD_DIR=$build WEB_SITE_DIR=$tmp/site BOARD_DATA_DIR=$data
unset DATABASE_URL
start_board() {
  bash "$source/scripts/board.sh" --port "$port" --workers 2 --metrics-port "$metrics" >"$tmp/out" 2>&1 &
  board=$!
  until_true '[ "$(curl -s -o /dev/null -w "%{http_code}" "http://127.0.0.1:$port/api/health")" = 200 ]' ||
    fail "board.sh did not answer on port $port"
}
workers() { pgrep -P "$board" -f "vexlo-board worker" | sort; }
# Submits a short game and waits until it is verified.
verify_one() {
  local keys id
  keys=$(sed -e 's/$/\\n/' "$source/tests/replay/crash_speed$1.keys" | tr -d '\n')
  id=$(curl -s -H 'Content-Type: application/json' -d "{\"name\": \"sh\", \"keys\": \"$keys\"}" \
    "http://127.0.0.1:$port/api/runs" | sed -n 's/.*"id":\([0-9]*\).*/\1/p')
  [ -n "$id" ] || fail "the run was not taken"
  until_true "curl -s http://127.0.0.1:$port/api/runs/$id | grep -q '\"status\":\"verified\"'" ||
    fail "run $id was not verified: $(curl -s "http://127.0.0.1:$port/api/runs/$id")"
}

start_board
url=$(bash "$source/scripts/board-db.sh" url "$data")

# The cluster is private.
[ "$(stat -c %a "$data")" = 700 ] || fail "the cluster's folder is mode $(stat -c %a "$data")"
[ "$(stat -c %a "$data/.s.PGSQL.5432")" = 700 ] || fail "the socket is mode $(stat -c %a "$data/.s.PGSQL.5432")"
! grep -v '^#' "$data/data/pg_hba.conf" | grep -qw trust || fail "pg_hba.conf trusts: $(cat "$data/data/pg_hba.conf")"
[ "$("$bin/psql" "$url" -tAc "SELECT rolsuper OR rolcreatedb OR rolcreaterole FROM pg_roles WHERE rolname = current_user")" = f ] ||
  fail "the role board may do more than own the board's tables"
! "$bin/psql" "$url" -c "COPY (SELECT 1) TO PROGRAM 'id'" >/dev/null 2>&1 || fail "the role board ran a program"
echo "ok: the cluster's folder and socket are mode 700, no trust, the role board is no superuser"
if [ "$(id -u)" -eq 0 ]; then
  ! runuser -u nobody -- "$bin/psql" -h "$data" -U board -d board -c "SELECT 1" >"$tmp/other" 2>&1 ||
    fail "another user connected"
  grep -q "Permission denied" "$tmp/other" || fail "another user was refused for another reason: $(cat "$tmp/other")"
  ! runuser -u nobody -- ls "$data" >/dev/null 2>&1 || fail "another user reads the cluster's folder"
  ! runuser -u nobody -- test -e "$data/.s.PGSQL.5432" || fail "another user reaches the socket"
  echo "ok: another user (nobody) can neither connect nor reach the socket"
else
  echo "skipped: another user's view (needs root for runuser)"
fi

# A second board.sh on the same folder leaves the first as it is.
second=0
BOARD_DATA_DIR=$data timeout 60 bash "$source/scripts/board.sh" --port "$(free_port)" --workers 1 \
  >"$tmp/second" 2>&1 || second=$?
[ $second -eq 1 ] || fail "a second board.sh exited $second: $(cat "$tmp/second")"
grep -q "already running in $data" "$tmp/second" || fail "the second board.sh said: $(cat "$tmp/second")"
bash "$source/scripts/board-db.sh" running "$data" || fail "the second board.sh stopped the cluster"
verify_one 5
echo "ok: a second board.sh says one is running, exits 1 and the first goes on"

# A worker killed is started again, and again after a longer pause. Its
# verdicts reach the metrics within a second; one killed sooner takes them
# with it, so the kill waits for them.
verified_counted() {
  curl -s "http://127.0.0.1:$metrics/metrics" >"$tmp/metrics" && grep -q "^vexlo_board_runs_verified_total $1\$" "$tmp/metrics"
}
until_true 'verified_counted 1' || fail "the first verdict is not in the metrics: $(cat "$tmp/metrics")"
until_true '[ $(workers | wc -l) -eq 2 ]' || fail "not two workers"
before=$(workers)
victim=$(head -n 1 <<<"$before")
kill -KILL "$victim"
until_true "grep -q 'worker [0-9] (pid $victim) was killed by SIGKILL; starting it again in 1 s' '$tmp/out'" ||
  fail "no line about worker $victim"
slot=$(sed -n "s/.*worker \([0-9]\) (pid $victim).*/\1/p" "$tmp/out")
until_true '[ $(workers | wc -l) -eq 2 ] && ! workers | grep -qx "$victim"' || fail "the worker was not replaced"
# The one not there before is the same slot's new worker.
again=$(comm -13 <(echo "$before") <(workers))
kill -KILL "$again"
until_true "grep -q 'worker $slot (pid $again) was killed by SIGKILL; starting it again in 2 s' '$tmp/out'" ||
  fail "no longer pause for worker $slot"
until_true '[ $(workers | wc -l) -eq 2 ]' || fail "the worker was not replaced a second time"
verify_one 1
grep -q "ready" "$data/workers.log" && grep -q "outcome=verified" "$data/workers.log" ||
  fail "the workers' log lacks their lines: $(cat "$data/workers.log")"
echo "ok: a worker killed with SIGKILL is started again (after 1 s, then 2 s), the board verifies on, the lines in workers.log"

until_true 'verified_counted 2' || fail "the metrics: $(cat "$tmp/metrics")"
promtool check metrics <"$tmp/metrics" || fail "promtool finds fault with the metrics"
echo "ok: --metrics-port serves the metrics, which promtool accepts"

# The server's end stops everything, with a non-zero status.
server=$(pgrep -P "$board" -f "vexlo-board serve")
left=$(workers)
kill -KILL "$server"
status=0
wait "$board" || status=$?
board=""
[ $status -ne 0 ] || fail "board.sh exited 0 after its server was killed"
grep -q "the server was killed by SIGKILL" "$tmp/out" || fail "no line about the server"
for pid in $left; do ! kill -0 "$pid" 2>/dev/null || fail "worker $pid outlived board.sh"; done
! bash "$source/scripts/board-db.sh" running "$data" || fail "the cluster outlived board.sh"
echo "ok: the server killed ends board.sh with status $status, the workers and the cluster stopped"

# A cluster that was running before board.sh is left running after it.
bash "$source/scripts/board-db.sh" start "$data" >/dev/null
start_board
grep -q "already running in $data; it is left running" "$tmp/out" || fail "board.sh did not say the cluster was running"
kill -TERM "$board"
status=0
wait "$board" || status=$?
board=""
[ $status -eq 0 ] || fail "board.sh exited $status on SIGTERM"
bash "$source/scripts/board-db.sh" running "$data" || fail "board.sh stopped a cluster it did not start"
echo "ok: SIGTERM ends board.sh with 0 and leaves a cluster it did not start running"

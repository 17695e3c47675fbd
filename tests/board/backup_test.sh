#!/usr/bin/env bash
# docs/board.md's back-up and restore, as written there: a board of a few
# hundred runs verified by real workers (some rejected), dumped with
# `pg_dump -Fc`, restored with `pg_restore --no-owner` into a fresh cluster,
# must answer the same: every page of the board with its ranks and total,
# every run, and every table of the board's schema row for row (so whatever
# the schema holds, such as a moderation log or hidden runs, comes back
# too); and a run submitted afterwards takes the next number.
# Usage: backup_test.sh BUILD_DIR SOURCE_DIR [RUNS]
set -euo pipefail
build=$(realpath "$1")
source=$(realpath "$2")
runs=${3:-200}
tmp=$(mktemp -d /tmp/vexlo-backup.XXXXXX)
chmod 755 "$tmp"
bin=/usr/lib/postgresql/15/bin
pids=()
cleanup() {
  [ ${#pids[@]} -eq 0 ] || { kill -TERM "${pids[@]}" 2>/dev/null; wait "${pids[@]}" 2>/dev/null; } || true
  for c in first second; do bash "$source/scripts/board-db.sh" stop "$tmp/$c" >/dev/null 2>&1 || true; done
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
source "$(dirname "$0")/script_support.sh"
# serve NAME URL: a server on the database; sets port_NAME.
serve() {
  DATABASE_URL=$2 "$build/vexlo-board" serve --port 0 --rate 0 --max-waiting 0 >"$tmp/$1.log" 2>&1 </dev/null &
  pids+=($!)
  until_true "grep -q 'serving http://127.0.0.1:' '$tmp/$1.log'" || fail "the server on $1 did not start"
  printf -v "port_$1" %s "$(sed -n 's|.*serving http://127.0.0.1:\([0-9]*\)/.*|\1|p' "$tmp/$1.log")"
}
sql() { "$bin/psql" "$1" -qtAX -v ON_ERROR_STOP=1 -c "$2"; }

first=$(bash "$source/scripts/board-db.sh" start "$tmp/first")
serve first "$first"
workers=()
for _ in 1 2; do
  (cd "$source" && DATABASE_URL=$first exec "$build/vexlo-board" worker) >>"$tmp/workers.log" 2>&1 </dev/null &
  workers+=($!)
done
pids+=("${workers[@]}")
# Games that differ in when the car, at top speed, first turns down or up
# (before its crash), which end in a crash: verified; every tenth is ended
# with Escape instead: rejected.
for k in $(seq "$runs"); do
  turn="$((272 + (k + 1) / 2)) $((k % 2 == 0 ? 38 : 40))"
  keys="272 13\\n272 39\\n272 39\\n272 39\\n272 39\\n$turn\\n4000 32\\n"
  [ $((k % 10)) -ne 0 ] || keys="272 13\\n$((280 + k)) 27\\n"
  curl -s -o /dev/null -H 'Content-Type: application/json' -d "{\"name\": \"player $((k % 17))\", \"keys\": \"$keys\"}" \
    "http://127.0.0.1:$port_first/api/runs"
done
until_true "[ \"\$(sql '$first' \"SELECT count(*) FROM runs WHERE status IN ('verified', 'rejected')\")\" = $runs ]" 600 ||
  fail "the runs were not all verified: $(sql "$first" "SELECT status, count(*) FROM runs GROUP BY 1")"
verified=$(sql "$first" "SELECT count(*) FROM runs WHERE status = 'verified'")
[ "$verified" -ge $((runs / 2)) ] && [ "$verified" -lt "$runs" ] || fail "$verified of $runs verified"
echo "ok: $runs runs on the first board, $verified verified, the others rejected"

# The operators' work comes back too: runs hidden, a name banned, the log.
admin() { DATABASE_URL=$first "$build/vexlo-board" admin "$@" >>"$tmp/admin.log" 2>&1 || fail "admin $*: $(cat "$tmp/admin.log")"; }
for id in $(sql "$first" "SELECT id FROM runs WHERE status = 'verified' ORDER BY score DESC LIMIT 3"); do
  admin hide "$id" --reason "a test of the back-up"
done
admin ban "PLAYER 3" --reason "a banned name"
hidden=$(sql "$first" "SELECT count(*) FROM runs WHERE hidden_reason IS NOT NULL")
[ "$hidden" -gt 3 ] && [ "$(sql "$first" "SELECT count(*) FROM moderation_log")" = 4 ] ||
  fail "hidden $hidden, log: $(sql "$first" "SELECT * FROM moderation_log")"
verified=$((verified - hidden))
echo "ok: $hidden runs hidden by the operators (three by hand, the others by a ban), four lines in their log"

# The workers stopped, so that the tables are still (they write their
# figures within a second of a verdict), then back up and restore, as
# docs/board.md says.
kill -TERM "${workers[@]}"
wait "${workers[@]}" 2>/dev/null || true
"$bin/pg_dump" -Fc -d "$first" -f "$tmp/board.dump" || fail "pg_dump"
second=$(bash "$source/scripts/board-db.sh" start "$tmp/second")
"$bin/pg_restore" --no-owner --exit-on-error -d "$second" "$tmp/board.dump" || fail "pg_restore"
serve second "$second"
echo "ok: dumped ($(stat -c %s "$tmp/board.dump") bytes) and restored into a fresh cluster"

# The same answers, page by page and run by run.
for offset in $(seq 0 100 "$verified"); do
  a=$(curl -s "http://127.0.0.1:$port_first/api/board?limit=100&offset=$offset")
  b=$(curl -s "http://127.0.0.1:$port_second/api/board?limit=100&offset=$offset")
  [ "$a" = "$b" ] || fail "the board at offset $offset differs: $a / $b"
done
for id in $(seq "$runs"); do
  a=$(curl -s "http://127.0.0.1:$port_first/api/runs/$id")
  [ "$a" = "$(curl -s "http://127.0.0.1:$port_second/api/runs/$id")" ] || fail "run $id differs"
done
# Every table, row for row (the workers' heartbeats aside: they are life, not the board).
for table in $(sql "$first" "SELECT tablename FROM pg_tables WHERE schemaname = 'public' AND tablename <> 'worker_heartbeats' ORDER BY 1"); do
  query="SELECT * FROM $table ORDER BY 1, 2"
  [ "$(sql "$first" "$query")" = "$(sql "$second" "$query")" ] || fail "the table $table differs"
  tables+=" $table"
done
echo "ok: the same board, ranks and runs; the same rows in:$tables"

next=$(curl -s -H 'Content-Type: application/json' -d '{"name": "after", "keys": "5 27\n"}' \
  "http://127.0.0.1:$port_second/api/runs" | sed -n 's/.*"id":\([0-9]*\).*/\1/p')
[ "$next" = $((runs + 1)) ] || fail "a new run on the restored board is number $next"
echo "ok: a run submitted to the restored board is number $next"

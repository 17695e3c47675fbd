#!/usr/bin/env bash
# The score server on this machine, with the page: installs what it needs
# from Debian, builds vexlo-board and the page, starts a private PostgreSQL
# 15 cluster in board-data/ (made on the first run; a Unix socket in that
# folder, no TCP), the server on 127.0.0.1:PORT serving the API and the page
# (build-web/), and WORKERS workers verifying the runs. A worker that ends is
# started again; if the server ends, everything stops and the exit status is
# 1. Ctrl+C or SIGTERM stops them all; the next run finds every score where
# it was left. With DATABASE_URL set, that database is used instead.
#
#   bash scripts/board.sh [--port N] [--workers N] [--metrics-port N]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
port=8080
workers=$(nproc)
metrics=""
usage() { echo "usage: scripts/board.sh [--port N] [--workers N] [--metrics-port N]" >&2; exit 2; }
while [ $# -gt 0 ]; do
  case $1 in
  --port) [ $# -ge 2 ] || usage; port=$2; shift 2 ;;
  --port=*) port=${1#*=}; shift ;;
  --workers) [ $# -ge 2 ] || usage; workers=$2; shift 2 ;;
  --workers=*) workers=${1#*=}; shift ;;
  --metrics-port) [ $# -ge 2 ] || usage; metrics=$2; shift 2 ;;
  --metrics-port=*) metrics=${1#*=}; shift ;;
  -h | --help) sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
  *) usage ;;
  esac
done
[[ $port =~ ^[0-9]+$ ]] && [ "$port" -le 65535 ] || usage
[[ $workers =~ ^[0-9]+$ ]] && [ "$workers" -ge 1 ] || usage
[ -z "$metrics" ] || { [[ $metrics =~ ^[0-9]+$ ]] && [ "$metrics" -le 65535 ]; } || usage

# For the tests: BOARD_DATA_DIR instead of board-data/, and with
# BOARD_NO_BUILD=1 the vexlo-board already built in BUILD_DIR and the page
# in WEB_SITE_DIR, nothing installed or built.
data=${BOARD_DATA_DIR:-$root/board-data}
build=${BUILD_DIR:-$root/build}
site=${WEB_SITE_DIR:-$root/build-web}

# One board.sh a folder: the lock is held as long as this script runs, and
# none of its children keeps it.
private=0
[ -n "${DATABASE_URL:-}" ] || private=1
mkdir -p "$data"
if [ $private -eq 1 ]; then
  exec {lock}>>"$data/board.lock"
  if ! flock -n "$lock"; then
    echo "board.sh: a board is already running in $data (pid $(cat "$data/board.pid" 2>/dev/null || echo unknown)); stop that one first" >&2
    exit 1
  fi
  echo $$ >"$data/board.pid"
else
  exec {lock}>/dev/null
fi

if [ "${BOARD_NO_BUILD:-0}" != 1 ]; then
  source "$root/scripts/presets.sh"
  bash "$root/scripts/setup.sh" board {lock}>&-
  configure_preset board "$build" ${CMAKE_EXTRA_ARGS:-} {lock}>&-
  build_folder "$build" vexlo-board {lock}>&-
  WEB_SITE_DIR=$site bash "$root/scripts/web.sh" --build-only {lock}>&-
fi

# The cluster is stopped at the end only if this script started it.
ours=0
if [ $private -eq 1 ]; then
  if bash "$root/scripts/board-db.sh" running "$data"; then
    echo "board.sh: PostgreSQL was already running in $data; it is left running at the end"
  else
    ours=1
  fi
  DATABASE_URL=$(bash "$root/scripts/board-db.sh" start "$data" {lock}>&-)
fi
export DATABASE_URL

# What the workers print goes to a log of their own.
worker_log=$data/workers.log
server=""
declare -A slot_of # a running pid: the worker's number, or "wait N" for a pause before worker N starts again
declare -a born pause

stop() {
  local status=$1
  trap - INT TERM
  echo "stopping..."
  local pids=(${server:+"$server"} "${!slot_of[@]}")
  [ ${#pids[@]} -eq 0 ] || kill -TERM "${pids[@]}" 2>/dev/null || true
  wait "${pids[@]}" 2>/dev/null || true
  [ "$ours" -eq 0 ] || bash "$root/scripts/board-db.sh" stop "$data"
  [ $private -eq 0 ] || rm -f "$data/board.pid"
  echo "stopped"
  exit "$status"
}
trap 'stop 0' INT TERM

# "exited with status N" or "was killed by SIGNAME", for a status from wait.
ending() {
  if [ "$1" -gt 128 ]; then echo "was killed by SIG$(kill -l "$(($1 - 128))")"; else echo "exited with status $1"; fi
}

start_worker() {
  "$build/vexlo-board" worker --game-dir "$root" >>"$worker_log" 2>&1 {lock}>&- &
  slot_of[$!]=$1
  born[$1]=$SECONDS
}

cd "$root"
serve=(serve --port "$port" --web "$site")
[ -z "$metrics" ] || serve+=(--metrics-listen "127.0.0.1:$metrics")
"$build/vexlo-board" "${serve[@]}" {lock}>&- &
server=$!
for n in $(seq "$workers"); do
  pause[$n]=0
  start_worker "$n"
done
echo "Vexlo Race's scores: http://127.0.0.1:$port/ (the API under /api/; $workers workers, their lines in $worker_log; Ctrl+C stops)"
[ -z "$metrics" ] || echo "Metrics for Prometheus: http://127.0.0.1:$metrics/metrics"

# Until a signal or the server's end. A worker that ends is started again at
# once if it ran for a minute; one that keeps ending waits 1 s, then 2, 4, ...
# up to a minute, before each new start.
while :; do
  ended="" status=0
  wait -n -p ended "$server" "${!slot_of[@]}" || status=$?
  [ -n "$ended" ] || continue
  if [ "$ended" = "$server" ]; then
    server=""
    echo "board.sh: the server $(ending "$status"); stopping the workers and the database" >&2
    stop 1
  fi
  slot=${slot_of[$ended]}
  unset "slot_of[$ended]"
  case $slot in
  wait\ *) start_worker "${slot#wait }" ;;
  *)
    if [ $((SECONDS - born[slot])) -ge 60 ]; then
      pause[$slot]=0
    else
      pause[$slot]=$((pause[slot] == 0 ? 1 : (pause[slot] >= 30 ? 60 : pause[slot] * 2)))
    fi
    if [ "${pause[slot]}" -eq 0 ]; then
      echo "board.sh: worker $slot (pid $ended) $(ending "$status"); starting it again" >&2
      start_worker "$slot"
    else
      echo "board.sh: worker $slot (pid $ended) $(ending "$status"); starting it again in ${pause[slot]} s" >&2
      sleep "${pause[slot]}" {lock}>&- &
      slot_of[$!]="wait $slot"
    fi
    ;;
  esac
done

#!/usr/bin/env bash
# The score server on this machine, with the page: installs what it needs
# from Debian, builds vexlo-board (into build-board/, or BUILD_DIR) and the
# page, starts a private PostgreSQL 15 cluster in board-data/ (made on the
# first run; a Unix socket in that folder, for this user alone, no TCP), the
# server on 127.0.0.1:PORT serving the API and the page (build-web/), and
# WORKERS workers verifying the runs, and prints the address once the server
# answers. A worker that ends is started again; if the server ends,
# everything stops and the exit status is 1. Ctrl+C or SIGTERM stops them
# all; the next run finds every score where it was left. With DATABASE_URL
# set, that database is used instead of board-data/. Each stage says one
# line; what they and the server print goes to build-board/board.log, which
# a failure names; the workers' lines go to board-data/workers.log.
#
#   bash scripts/board.sh [--port N] [--workers N] [--metrics-port N]
#   bash scripts/board.sh admin ARGS...   the operators' commands (vexlo-board
#                                         admin) on the board's own database
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

# admin: vexlo-board admin on board-data/'s cluster (started for the command
# and stopped again if it was not running) or on DATABASE_URL; the program is
# built first, quietly, if it is not there yet.
if [ "${1:-}" = admin ]; then
  shift
  case ${1:-} in
  hide | unhide | ban | unban | runs | log | token | recount | migrate | -h | --help) ;;
  *) echo "usage: scripts/board.sh admin hide|unhide|ban|unban|runs|log|token|recount|migrate ARGS..." >&2; exit 2 ;;
  esac
  build=${BUILD_DIR:-$root/build-board}
  if [ ! -x "$build/vexlo-board" ]; then
    source "$root/scripts/presets.sh"
    bash "$root/scripts/setup.sh" board >/dev/null
    configure_preset board "$build" ${CMAKE_EXTRA_ARGS:-}
    build_folder_quietly "$build" vexlo-board
  fi
  if [ -n "${DATABASE_URL:-}" ]; then
    exec "$build/vexlo-board" admin "$@"
  fi
  data=$root/board-data
  running=0
  bash "$root/scripts/board-db.sh" running "$data" && running=1
  DATABASE_URL=$(bash "$root/scripts/board-db.sh" start "$data") || exit 1
  export DATABASE_URL
  status=0
  "$build/vexlo-board" admin "$@" || status=$?
  [ "$running" -eq 1 ] || bash "$root/scripts/board-db.sh" stop "$data"
  exit "$status"
fi
port=8080
workers=$(nproc)
metrics=""
usage() { printf 'usage: scripts/board.sh [--port N] [--workers N] [--metrics-port N]\n       scripts/board.sh admin ARGS...\n'; }
refuse() { usage >&2; exit 2; }
while [ $# -gt 0 ]; do
  case $1 in
  --port) [ $# -ge 2 ] || refuse; port=$2; shift 2 ;;
  --port=*) port=${1#*=}; shift ;;
  --workers) [ $# -ge 2 ] || refuse; workers=$2; shift 2 ;;
  --workers=*) workers=${1#*=}; shift ;;
  --metrics-port) [ $# -ge 2 ] || refuse; metrics=$2; shift 2 ;;
  --metrics-port=*) metrics=${1#*=}; shift ;;
  -h | --help) usage; exit 0 ;;
  *) refuse ;;
  esac
done
[[ $port =~ ^[0-9]{1,5}$ ]] && [ "$port" -le 65535 ] || refuse
[[ $workers =~ ^[0-9]{1,4}$ ]] && [ "$workers" -ge 1 ] || refuse
[ -z "$metrics" ] || { [[ $metrics =~ ^[0-9]{1,5}$ ]] && [ "$metrics" -le 65535 ]; } || refuse

# For the tests: BOARD_DATA_DIR instead of board-data/, and with
# BOARD_NO_BUILD=1 the vexlo-board already built in BUILD_DIR and the page
# in WEB_SITE_DIR, nothing installed or built.
data=${BOARD_DATA_DIR:-$root/board-data}
site=${WEB_SITE_DIR:-$root/build-web}
source "$root/scripts/presets.sh"
build=${BUILD_DIR:-$root/build-board}
mkdir -p "$build"
log=$build/board.log

# One board.sh a folder: the lock is held as long as this script runs, and
# none of its children keeps it.
private=0
[ -n "${DATABASE_URL:-}" ] || private=1
if [ $private -eq 1 ]; then
  mkdir -p "$data"
  exec {lock}>>"$data/board.lock"
  if ! flock -n "$lock"; then
    echo "board.sh: a board is already running in $data (pid $(cat "$data/board.pid" 2>/dev/null || echo unknown)); stop that one first" >&2
    exit 1
  fi
  echo $$ >"$data/board.pid"
else
  exec {lock}>/dev/null
fi
: >"$log"

failed() {
  echo "board.sh: $1; the whole log is in $log" >&2
  exit 1
}
# stage TEXT COMMAND...: one line on the terminal, the command's output in
# the log.
stage() {
  echo "$1"
  printf '\n== %s\n' "$1" >>"$log"
  "${@:2}" >>"$log" 2>&1 {lock}>&- || failed "${1%…} failed"
}
# (Within `||`, set -e holds in no function: each step's failure is passed on.)
install_packages() { bash "$root/scripts/setup.sh" board && bash "$root/scripts/setup-web.sh"; }
build_server() { configure_preset board "$build" ${CMAKE_EXTRA_ARGS:-} && build_folder "$build" vexlo-board; }

if [ "${BOARD_NO_BUILD:-0}" != 1 ]; then
  stage "installing…" install_packages
  stage "building the server…" build_server
  stage "building the page…" env WEB_SITE_DIR="$site" bash "$root/scripts/web.sh" --build-only
fi
# The cluster is stopped at the end only if this script started it.
ours=0
if [ $private -eq 1 ]; then
  if bash "$root/scripts/board-db.sh" running "$data"; then
    echo "board.sh: PostgreSQL was already running in $data; it is left running at the end"
  else
    ours=1
  fi
  stage "starting the database…" bash "$root/scripts/board-db.sh" start "$data"
  DATABASE_URL=$(bash "$root/scripts/board-db.sh" url "$data")
fi
export DATABASE_URL

worker_log=$data/workers.log
[ $private -eq 1 ] || mkdir -p "$data"
server=""
declare -A slot_of # a running pid: the worker's number, or "wait N" for a pause before worker N starts again
declare -a born pause

stop() {
  trap - INT TERM
  echo "stopping..."
  local pids=(${server:+"$server"} "${!slot_of[@]}")
  [ ${#pids[@]} -eq 0 ] || kill -TERM "${pids[@]}" 2>/dev/null || true
  wait "${pids[@]}" 2>/dev/null || true
  [ "$ours" -eq 0 ] || bash "$root/scripts/board-db.sh" stop "$data"
  [ $private -eq 0 ] || rm -f "$data/board.pid"
  echo "stopped"
  exit "${1:-0}"
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

# The status code of GET /api/health on the server's port, over bash's own
# TCP (a new machine may have no curl); nothing while it does not answer.
health() {
  local reply
  exec 3<>"/dev/tcp/127.0.0.1/$1" || return 1
  printf 'GET /api/health HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n' >&3
  reply=$(timeout 5 head -n 1 <&3) || true
  exec 3>&-
  cut -d' ' -f2 <<<"$reply"
}

cd "$root"
printf '\n== the server\n' >>"$log"
serve=(serve --port "$port" --web "$site")
[ -z "$metrics" ] || serve+=(--metrics-listen "127.0.0.1:$metrics")
"$build/vexlo-board" "${serve[@]}" >>"$log" 2>&1 {lock}>&- &
server=$!
for n in $(seq "$workers"); do
  pause[$n]=0
  start_worker "$n"
done

# The address once the server answers (its port, for --port 0, from its
# line), within a minute.
address=""
for _ in $(seq 300); do
  kill -0 "$server" 2>/dev/null || { echo "board.sh: the server did not start; the whole log is in $log" >&2; stop 1; }
  [ -n "$address" ] || address=$(sed -n 's|^vexlo-board: serving \(http://[^ ]*/\)$|\1|p' "$log")
  if [ -n "$address" ]; then
    answer=$(health "$(sed 's|.*:\([0-9]*\)/$|\1|' <<<"$address")" 2>/dev/null) || true
    [ "$answer" != 200 ] || break
  fi
  sleep 0.2
done
[ "${answer:-}" = 200 ] || { echo "board.sh: the server did not answer within a minute; the whole log is in $log" >&2; stop 1; }
[ "$workers" -eq 1 ] && counted="1 worker" || counted="$workers workers"
echo "Vexlo Race's scores: $address (the API under /api/; $counted; Ctrl+C stops)"
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

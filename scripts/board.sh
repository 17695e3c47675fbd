#!/usr/bin/env bash
# The score server on this machine, with the page: installs what it needs
# from Debian, builds vexlo-board and the page, starts a private PostgreSQL
# 15 cluster in board-data/ (made on the first run; a Unix socket in that
# folder, no TCP), the server on 127.0.0.1:PORT serving the API and the page
# (build-web/), and WORKERS workers verifying the runs. Ctrl+C or SIGTERM
# stops them all; the next run finds every score where it was left.
# With DATABASE_URL set, that database is used instead of board-data/.
#
#   bash scripts/board.sh [--port N] [--workers N]
#   bash scripts/board.sh admin ARGS...   the operators' commands (vexlo-board
#                                         admin) on the board's own database
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

# admin: vexlo-board admin on board-data/'s cluster (started for the command
# and stopped again if it was not running) or on DATABASE_URL; the program is
# built first, quietly, if it is not there yet.
if [ "${1:-}" = admin ]; then
  shift
  build=${BUILD_DIR:-$root/build}
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
  pg_isready -q -d "$(bash "$root/scripts/board-db.sh" url "$data")" 2>/dev/null && running=1
  DATABASE_URL=$(bash "$root/scripts/board-db.sh" start "$data") || exit 1
  export DATABASE_URL
  status=0
  "$build/vexlo-board" admin "$@" || status=$?
  [ "$running" -eq 1 ] || bash "$root/scripts/board-db.sh" stop "$data"
  exit "$status"
fi
port=8080
workers=$(nproc)
usage() { echo "usage: scripts/board.sh [--port N] [--workers N]" >&2; exit 2; }
while [ $# -gt 0 ]; do
  case $1 in
  --port) [ $# -ge 2 ] || usage; port=$2; shift 2 ;;
  --port=*) port=${1#*=}; shift ;;
  --workers) [ $# -ge 2 ] || usage; workers=$2; shift 2 ;;
  --workers=*) workers=${1#*=}; shift ;;
  -h | --help) sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
  *) usage ;;
  esac
done
[[ $port =~ ^[0-9]+$ ]] && [ "$port" -le 65535 ] || usage
[[ $workers =~ ^[0-9]+$ ]] && [ "$workers" -ge 1 ] || usage

source "$root/scripts/presets.sh"
bash "$root/scripts/setup.sh" board
build=${BUILD_DIR:-$root/build}
configure_preset board "$build" ${CMAKE_EXTRA_ARGS:-}
build_folder "$build" vexlo-board
bash "$root/scripts/web.sh" --build-only

private=0
if [ -z "${DATABASE_URL:-}" ]; then
  DATABASE_URL=$(bash "$root/scripts/board-db.sh" start "$root/board-data")
  private=1
fi
export DATABASE_URL

pids=()
stop() {
  trap - INT TERM
  echo "stopping..."
  [ ${#pids[@]} -eq 0 ] || kill -TERM "${pids[@]}" 2>/dev/null || true
  wait "${pids[@]}" 2>/dev/null || true
  [ "$private" -eq 0 ] || bash "$root/scripts/board-db.sh" stop "$root/board-data"
  echo "stopped"
  exit 0
}
trap stop INT TERM

cd "$root"
"$build/vexlo-board" serve --port "$port" --web "$root/build-web" &
pids+=($!)
for _ in $(seq "$workers"); do
  "$build/vexlo-board" worker --game-dir "$root" >/dev/null &
  pids+=($!)
done
echo "Vexlo Race's scores: http://127.0.0.1:$port/ (the API under /api/; $workers workers; Ctrl+C stops)"
# Until a signal, or until the server or a worker ends by itself.
wait -n "${pids[@]}" || true
stop

#!/usr/bin/env bash
# The score server on this machine, with the page: installs what it needs
# from Debian, builds vexlo-board (into build-board/, or BUILD_DIR) and the
# page, starts a private PostgreSQL
# 15 cluster in board-data/ (made on the first run; a Unix socket in that
# folder, no TCP), the server on 127.0.0.1:PORT serving the API and the page
# (build-web/), and WORKERS workers verifying the runs. Ctrl+C or SIGTERM
# stops them all; the next run finds every score where it was left.
# With DATABASE_URL set, that database is used instead of board-data/.
#
#   bash scripts/board.sh [--port N] [--workers N]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
port=8080
workers=$(nproc)
usage() { echo "usage: scripts/board.sh [--port N] [--workers N]"; }
refuse() { usage >&2; exit 2; }
while [ $# -gt 0 ]; do
  case $1 in
  --port) [ $# -ge 2 ] || refuse; port=$2; shift 2 ;;
  --port=*) port=${1#*=}; shift ;;
  --workers) [ $# -ge 2 ] || refuse; workers=$2; shift 2 ;;
  --workers=*) workers=${1#*=}; shift ;;
  -h | --help) usage; exit 0 ;;
  *) refuse ;;
  esac
done
[[ $port =~ ^[0-9]{1,5}$ ]] && [ "$port" -le 65535 ] || refuse
[[ $workers =~ ^[0-9]{1,4}$ ]] && [ "$workers" -ge 1 ] || refuse

source "$root/scripts/presets.sh"
bash "$root/scripts/setup.sh" board
build=${BUILD_DIR:-$root/build-board}
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

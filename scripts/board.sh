#!/usr/bin/env bash
# The score server on this machine, with the page: installs what it needs
# from Debian, builds vexlo-board (into build-board/, or BUILD_DIR) and the
# page, starts a private PostgreSQL 15 cluster in board-data/ (made on the
# first run; a Unix socket in that folder, no TCP), the server on
# 127.0.0.1:PORT serving the API and the page (build-web/), and WORKERS
# workers verifying the runs, and prints the address once the server
# answers. Ctrl+C or SIGTERM stops them all; the next run finds every score
# where it was left. With DATABASE_URL set, that database is used instead
# of board-data/. Each stage says one line; what they print goes to
# build-board/board.log, which a failure names.
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
build=${BUILD_DIR:-$root/build-board}
mkdir -p "$build"
log=$build/board.log
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
  "${@:2}" >>"$log" 2>&1 || failed "${1%…} failed"
}
# (Within `||`, set -e holds in no function: each step's failure is passed on.)
install_packages() { bash "$root/scripts/setup.sh" board && bash "$root/scripts/setup-web.sh"; }
build_server() { configure_preset board "$build" ${CMAKE_EXTRA_ARGS:-} && build_folder "$build" vexlo-board; }

stage "installing…" install_packages
stage "building the server…" build_server
stage "building the page…" bash "$root/scripts/web.sh" --build-only
private=0
if [ -z "${DATABASE_URL:-}" ]; then
  stage "starting the database…" bash "$root/scripts/board-db.sh" start "$root/board-data"
  DATABASE_URL=$(bash "$root/scripts/board-db.sh" url "$root/board-data")
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
  exit "${1:-0}"
}
trap stop INT TERM

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
"$build/vexlo-board" serve --port "$port" --web "$root/build-web" >>"$log" &
server=$!
pids+=("$server")
for _ in $(seq "$workers"); do
  "$build/vexlo-board" worker --game-dir "$root" >/dev/null &
  pids+=($!)
done

# The address once the server answers (its port, for --port 0, from its
# first line), within a minute.
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
# Until a signal, or until the server or a worker ends by itself.
wait -n "${pids[@]}" || true
stop

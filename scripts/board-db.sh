#!/usr/bin/env bash
# A private PostgreSQL 15 cluster in a folder, for scripts/board.sh and the
# score server's tests and benchmarks: data in DIR/data, the Unix socket in
# DIR itself, no TCP. PostgreSQL refuses to run as root, so as root the
# cluster belongs to the user postgres (made by Debian's postgresql package).
#   board-db.sh start DIR   makes the cluster on the first start, starts it,
#                           prints its DATABASE_URL
#   board-db.sh stop DIR    stops it (fast: running statements are cut off)
#   board-db.sh url DIR     prints its DATABASE_URL
# Extra server settings for a start: BOARD_DB_SETTINGS="-c fsync=off ...".
set -euo pipefail
bin=/usr/lib/postgresql/15/bin
usage() { echo "usage: scripts/board-db.sh start|stop|url DIR"; }
case ${1:-} in -h | --help) usage; exit 0 ;; esac
[ $# -eq 2 ] && [[ $1 =~ ^(start|stop|url)$ ]] && [[ $2 != -* ]] || { usage >&2; exit 2; }
command=$1
dir=$(realpath -m "$2")

as_owner() {
  if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}
url() { echo "postgresql://board@/board?host=$dir"; }

make_cluster() {
  mkdir -p "$dir"
  if [ "$(id -u)" -eq 0 ]; then
    chown postgres: "$dir"
    as_owner test -w "$dir" ||
      { echo "board-db: the user postgres cannot reach $dir; use a folder every user may enter" >&2; exit 1; }
  fi
  # A socket's path has room for about 100 characters.
  [ ${#dir} -le 90 ] || { echo "board-db: the path $dir is too long for a socket" >&2; exit 1; }
  as_owner "$bin/initdb" -D "$dir/data" -U board --auth=trust -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 ||
    { cat "$dir/initdb.log" >&2; exit 1; }
  as_owner tee -a "$dir/data/postgresql.conf" >/dev/null <<CONF
listen_addresses = ''
unix_socket_directories = '$dir'
max_connections = 300
shared_buffers = 128MB
CONF
}

case $command in
start)
  [ -x "$bin/initdb" ] || { echo "board-db: PostgreSQL 15 is not installed ($bin)" >&2; exit 1; }
  [ -f "$dir/data/PG_VERSION" ] || make_cluster
  if ! as_owner "$bin/pg_ctl" -D "$dir/data" status >/dev/null 2>&1; then
    as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/postgresql.log" -w -t 120 ${BOARD_DB_SETTINGS:+-o "$BOARD_DB_SETTINGS"} start >/dev/null ||
      { tail -n 20 "$dir/postgresql.log" >&2; exit 1; }
  fi
  "$bin/psql" -h "$dir" -U board -d postgres -qtAc "SELECT 1 FROM pg_database WHERE datname = 'board'" | grep -q 1 ||
    "$bin/createdb" -h "$dir" -U board board
  url
  ;;
stop)
  if [ -f "$dir/data/PG_VERSION" ] && as_owner "$bin/pg_ctl" -D "$dir/data" status >/dev/null 2>&1; then
    as_owner "$bin/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null
  fi
  ;;
url) url ;;
esac

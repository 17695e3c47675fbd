#!/usr/bin/env bash
# A private PostgreSQL 15 cluster in a folder, for scripts/board.sh and the
# score server's tests and benchmarks: data in DIR/data, the Unix socket in
# DIR itself, no TCP. PostgreSQL refuses to run as root, so as root the
# cluster belongs to the user postgres (made by Debian's postgresql package).
#
# It is private: DIR and the socket are for the cluster's owner alone (mode
# 0700), and a connection is let in by peer authentication only, for the
# owner (and root) as one of two roles: the owner's own name (postgres as
# root), the superuser, which makes and keeps the cluster; and `board`,
# which owns the database `board` and its tables and nothing more (no
# superuser, no new databases or roles). The server and its workers use
# `board`. A cluster made by an older version of this script (the role
# board a superuser, authentication `trust`) is made private at its start.
#
#   board-db.sh start DIR      makes the cluster on the first start, starts it,
#                              prints its DATABASE_URL (the role board)
#   board-db.sh stop DIR       stops it (fast: running statements are cut off)
#   board-db.sh url DIR        prints its DATABASE_URL
#   board-db.sh admin-url DIR  prints the superuser's, for tests and repairs
#   board-db.sh running DIR    exits 0 when the cluster is running
# Extra server settings for a start: BOARD_DB_SETTINGS="-c fsync=off ...".
set -euo pipefail
bin=/usr/lib/postgresql/15/bin
usage() { echo "usage: scripts/board-db.sh start|stop|url|admin-url|running DIR"; }
case ${1:-} in -h | --help) usage; exit 0 ;; esac
[ $# -eq 2 ] && [[ $1 =~ ^(start|stop|url|admin-url|running)$ ]] && [[ $2 != -* ]] || { usage >&2; exit 2; }
command=$1
dir=$(realpath -m "$2")

if [ "$(id -u)" -eq 0 ]; then owner=postgres; else owner=$(id -un); fi
as_owner() {
  if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}
url() { echo "postgresql://board@/board?host=$dir"; }
admin_url() { echo "postgresql://$owner@/postgres?host=$dir"; }
# SQL as the superuser, through the socket.
admin_sql() { as_owner "$bin/psql" -h "$dir" -U "$owner" -X -q -v ON_ERROR_STOP=1 "$@"; }
running() { [ -f "$dir/data/PG_VERSION" ] && as_owner "$bin/pg_ctl" -D "$dir/data" status >/dev/null 2>&1; }

# Who may connect, written at every start: the owner, and root when the
# owner is postgres, by the name the kernel gives for the socket's peer.
write_access() {
  local ident="# MAP   SYSTEM-USER   DATABASE-ROLE
board   $owner   $owner
board   $owner   board"
  [ "$(id -u)" -ne 0 ] || ident+="
board   root   postgres
board   root   board"
  as_owner tee "$dir/data/pg_ident.conf" >/dev/null <<<"$ident"
  as_owner tee "$dir/data/pg_hba.conf" >/dev/null <<'HBA'
# Unix socket only, and only for the system users of pg_ident.conf's map.
local   all   all   peer map=board
HBA
  as_owner chmod 0600 "$dir/data/pg_ident.conf" "$dir/data/pg_hba.conf"
}

make_cluster() {
  mkdir -p "$dir"
  if [ "$(id -u)" -eq 0 ]; then
    chown postgres: "$dir"
    as_owner test -w "$dir" ||
      { echo "board-db: the user postgres cannot reach $dir; use a folder every user may enter" >&2; exit 1; }
  fi
  # A socket's path has room for about 100 characters.
  [ ${#dir} -le 90 ] || { echo "board-db: the path $dir is too long for a socket" >&2; exit 1; }
  as_owner "$bin/initdb" -D "$dir/data" -U "$owner" --auth-local=peer --auth-host=reject -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 ||
    { cat "$dir/initdb.log" >&2; exit 1; }
  as_owner tee -a "$dir/data/postgresql.conf" >/dev/null <<CONF
listen_addresses = ''
unix_socket_directories = '$dir'
unix_socket_permissions = 0700
max_connections = 300
shared_buffers = 128MB
CONF
  write_access
}

# A cluster of the older kind: started as it was (trust), its superuser
# board renamed to the owner, a new role board given the database and
# everything in its schema, then closed like a new one.
make_private() {
  local old=(as_owner "$bin/psql" -h "$dir" -X -q -v ON_ERROR_STOP=1)
  echo "board-db: making the cluster in $dir private (the role board will no longer be a superuser)" >&2
  "${old[@]}" -U board -d postgres -c "CREATE ROLE board_upgrade SUPERUSER LOGIN"
  "${old[@]}" -U board_upgrade -d postgres <<SQL
ALTER ROLE board RENAME TO "$owner";
CREATE ROLE board LOGIN;
SQL
  if "${old[@]}" -U "$owner" -d postgres -tAc "SELECT 1 FROM pg_database WHERE datname = 'board'" | grep -q 1; then
    "${old[@]}" -U "$owner" -d board <<'SQL'
ALTER DATABASE board OWNER TO board;
SELECT format('ALTER %s %s OWNER TO board',
              CASE c.relkind WHEN 'S' THEN 'SEQUENCE' WHEN 'v' THEN 'VIEW'
                             WHEN 'm' THEN 'MATERIALIZED VIEW' ELSE 'TABLE' END,
              c.oid::regclass)
  FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace
 WHERE n.nspname = 'public' AND c.relkind IN ('r', 'p', 'v', 'm', 'S')
   AND NOT EXISTS (SELECT 1 FROM pg_depend d WHERE d.objid = c.oid AND d.deptype IN ('a', 'i')
                   AND d.classid = 'pg_class'::regclass AND d.refclassid = 'pg_class'::regclass)
\gexec
SELECT format('ALTER ROUTINE %s OWNER TO board', p.oid::regprocedure)
  FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace WHERE n.nspname = 'public'
\gexec
SELECT format('ALTER TYPE %s OWNER TO board', t.oid::regtype)
  FROM pg_type t JOIN pg_namespace n ON n.oid = t.typnamespace
 WHERE n.nspname = 'public' AND t.typtype IN ('e', 'd', 'r')
\gexec
SQL
  fi
  "${old[@]}" -U "$owner" -d postgres -c "DROP ROLE board_upgrade"
}

case $command in
start)
  [ -x "$bin/initdb" ] || { echo "board-db: PostgreSQL 15 is not installed ($bin)" >&2; exit 1; }
  [ -f "$dir/data/PG_VERSION" ] || make_cluster
  if ! running; then
    as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/postgresql.log" -w -t 120 ${BOARD_DB_SETTINGS:+-o "$BOARD_DB_SETTINGS"} start >/dev/null ||
      { tail -n 20 "$dir/postgresql.log" >&2; exit 1; }
  fi
  if ! as_owner grep -q "map=board" "$dir/data/pg_hba.conf"; then
    make_private
    as_owner tee -a "$dir/data/postgresql.conf" >/dev/null <<<"unix_socket_permissions = 0700"
    write_access
    as_owner "$bin/pg_ctl" -D "$dir/data" -w restart -m fast >/dev/null
  else
    write_access
    as_owner "$bin/pg_ctl" -D "$dir/data" reload >/dev/null
  fi
  as_owner chmod 0700 "$dir"
  admin_sql -d postgres <<'SQL'
SELECT 'CREATE ROLE board LOGIN' WHERE NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'board')
\gexec
SELECT 'CREATE DATABASE board OWNER board' WHERE NOT EXISTS (SELECT 1 FROM pg_database WHERE datname = 'board')
\gexec
SQL
  url
  ;;
stop)
  if running; then
    as_owner "$bin/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null
  fi
  ;;
url) url ;;
admin-url) admin_url ;;
running) running ;;
esac

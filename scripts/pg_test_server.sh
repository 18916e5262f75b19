#!/usr/bin/env bash
# A throwaway PostgreSQL server for the tests: its data, its log and its Unix
# socket in one folder, no TCP port, trusted local connections, stopped and
# removed again by "stop".
#
#   scripts/pg_test_server.sh start DIR    start one in DIR (made; must not hold
#                                          a server); prints its connection string
#   scripts/pg_test_server.sh stop DIR     stop the server of DIR, remove DIR
#   scripts/pg_test_server.sh down DIR     stop the server of DIR, keep its data
#   scripts/pg_test_server.sh up DIR       start it again on the same socket
#   scripts/pg_test_server.sh fixture-start DIR
#   scripts/pg_test_server.sh fixture-stop DIR
#                                          the same for ctest's fixture: nothing
#                                          when QV_TEST_PG names a server already;
#                                          a server left in DIR by a killed run
#                                          is stopped first
#
# DIR should be short (/tmp/...): a socket path holds at most 107 bytes.
# Run as root, the server runs as the unprivileged system user quorvex-pgtest
# (made when missing), for PostgreSQL refuses to run as root. The connection
# string names the database quorvex_test and its owner, the superuser
# quorvex_test; any other role may connect too (trust), which the tests of
# the roles need.
set -euo pipefail

pg_user=quorvex-pgtest
db=quorvex_test

bindir() {
  local d
  d=$(pg_config --bindir 2>/dev/null || true)
  if [ -z "$d" ] || [ ! -x "$d/initdb" ]; then
    d=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n1)
  fi
  if [ -z "$d" ] || [ ! -x "$d/initdb" ]; then
    echo "pg_test_server.sh: no PostgreSQL server programs (scripts/deps.sh installs postgresql)" >&2
    exit 1
  fi
  echo "$d"
}

# Runs a server program as the server's user.
as_server() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u "$pg_user" -- "$@"
  else
    "$@"
  fi
}

conninfo() {  # dir
  echo "host=$1 port=5432 dbname=$db user=$db"
}

start() {  # dir
  local dir=$1 bin
  bin=$(bindir)
  if [ "$(id -u)" -eq 0 ] && ! id -u "$pg_user" >/dev/null 2>&1; then
    # Another run may make the user at the same time.
    useradd --system -M -N -d /nonexistent -s /usr/sbin/nologin "$pg_user" 2>/dev/null ||
      id -u "$pg_user" >/dev/null
  fi
  mkdir -p "$dir"
  if [ -e "$dir/data" ]; then
    echo "pg_test_server.sh: $dir holds a server already" >&2
    exit 1
  fi
  chmod 0755 "$dir"
  [ "$(id -u)" -eq 0 ] && chown "$pg_user" "$dir"
  as_server "$bin/initdb" -D "$dir/data" -U "$db" --auth=trust -E UTF8 --locale=C.UTF-8 -N \
    >"$dir/initdb.log" 2>&1 || { cat "$dir/initdb.log" >&2; exit 1; }
  up "$dir"
  as_server "$bin/createdb" -h "$dir" -U "$db" "$db"
  conninfo "$dir" >"$dir/conninfo"
  cat "$dir/conninfo"
}

up() {  # dir
  local dir=$1 bin
  bin=$(bindir)
  # Durability is not what the tests check: no fsync makes them faster. The
  # socket is the only way in.
  if ! as_server "$bin/pg_ctl" start -w -t 60 -D "$dir/data" -l "$dir/server.log" \
      -o "-c listen_addresses='' -c unix_socket_directories='$dir' -c fsync=off \
          -c synchronous_commit=off -c full_page_writes=off -c max_connections=200" >/dev/null; then
    cat "$dir/server.log" >&2
    exit 1
  fi
}

# Stops the server of dir (fast: open connections are ended), or kills it
# when it does not stop.
down() {  # dir
  local dir=$1 bin pid
  bin=$(bindir)
  [ -f "$dir/data/postmaster.pid" ] || return 0
  if ! as_server "$bin/pg_ctl" stop -w -t 30 -m fast -D "$dir/data" >/dev/null 2>&1; then
    pid=$(head -n1 "$dir/data/postmaster.pid" 2>/dev/null || true)
    [ -n "$pid" ] && kill -9 "$pid" 2>/dev/null || true
  fi
}

stop() {  # dir
  local dir=$1
  [ -d "$dir" ] || return 0
  down "$dir"
  rm -rf "$dir"
}

case ${1:-} in
  start) start "$2" ;;
  stop) stop "$2" ;;
  down) down "$2" ;;
  up) up "$2" ;;
  fixture-start)
    if [ -n "${QV_TEST_PG:-}" ]; then
      echo "using the server of QV_TEST_PG: $QV_TEST_PG"
    else
      stop "$2"
      start "$2"
    fi
    ;;
  fixture-stop)
    [ -n "${QV_TEST_PG:-}" ] || stop "$2"
    ;;
  *)
    echo "usage: $0 start|stop|fixture-start|fixture-stop DIR" >&2
    exit 2
    ;;
esac

#!/usr/bin/env bash
# Private MariaDB server for the workstation and its tests.
#
#   db.sh start STATE_DIR   initialise (first time), start on a free loopback port,
#                           create the schema and write the ODBC configuration
#   db.sh restart STATE_DIR start again on the same port after the server died
#   db.sh stop  STATE_DIR   stop the server started from STATE_DIR
#   db.sh seed  STATE_DIR   (re)load the demo data into the PistelLocal database
#   db.sh env   STATE_DIR   print the exports that point unixODBC at STATE_DIR/odbc
#   db.sh sql   STATE_DIR DATABASE   run SQL from stdin as root
#
# The server owns STATE_DIR/data, listens on 127.0.0.1 only and never reads the
# machine's own MariaDB configuration, so it cannot collide with a system server.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/.." && pwd)"
cmd="${1:?usage: db.sh start|stop|seed|env|sql STATE_DIR}"
state="${2:?usage: db.sh $cmd STATE_DIR}"
mkdir -p "$state"
state="$(cd "$state" && pwd)"
data="$state/data"
sock="$state/mysqld.sock"
pidf="$state/mysqld.pid"
portf="$state/port"
odbcdir="$state/odbc"
PASSWORD=lumor
LOCAL_DB=pistel_local
TEST_DB=pistel_test

# shellcheck source=../config/databases.conf
source "$root/config/databases.conf"

client() { mariadb --no-defaults --socket="$sock" -uroot -p"$PASSWORD" --default-character-set=utf8mb4 "$@"; }

running() { [ -f "$pidf" ] && kill -0 "$(cat "$pidf")" 2>/dev/null; }

port_in_use() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

driver_path() {
  local p
  for p in /usr/lib/*/odbc/libmaodbc.so /usr/lib/odbc/libmaodbc.so /usr/lib64/libmaodbc.so; do
    [ -f "$p" ] && { echo "$p"; return; }
  done
  echo "MariaDB ODBC driver (libmaodbc.so) not found; run scripts/deps.sh" >&2
  exit 1
}

write_odbc() {
  local port="$1" drv
  drv="$(driver_path)"
  mkdir -p "$odbcdir"
  cat > "$odbcdir/odbcinst.ini" <<INI
[MariaDB]
Description=MariaDB Connector/ODBC
Driver=$drv
Threading=0
INI
  cat > "$odbcdir/odbc.ini" <<INI
[PistelLocal]
Driver=MariaDB
SERVER=127.0.0.1
PORT=$port
DATABASE=$LOCAL_DB
CHARSET=sjis

[PistelTest]
Driver=MariaDB
SERVER=127.0.0.1
PORT=$port
DATABASE=$TEST_DB
CHARSET=sjis

[PistelServer]
Driver=MariaDB
SERVER=$PISTEL_SERVER_HOST
PORT=$PISTEL_SERVER_PORT
DATABASE=$PISTEL_SERVER_DATABASE
CHARSET=sjis

[PistelRelease]
Driver=MariaDB
SERVER=$PISTEL_RELEASE_HOST
PORT=$PISTEL_RELEASE_PORT
DATABASE=$PISTEL_RELEASE_DATABASE
CHARSET=sjis
INI
}

init_server() {
  [ -d "$data/mysql" ] && return
  rm -rf "$data"
  mkdir -p "$data"
  cat > "$state/init.sql" <<SQL
FLUSH PRIVILEGES;
ALTER USER 'root'@'localhost' IDENTIFIED VIA unix_socket OR mysql_native_password USING PASSWORD('$PASSWORD');
SQL
  mariadb-install-db --no-defaults --user="$(id -un)" --datadir="$data" \
    --auth-root-authentication-method=socket --skip-test-db \
    --extra-file="$state/init.sql" > "$state/install.log" 2>&1 ||
    { cat "$state/install.log" >&2; echo "mariadb-install-db failed" >&2; exit 1; }
}

# start_server [PORT]: on PORT (a restart keeps the port the clients know), else on a free one.
start_server() {
  local port tries=0
  while :; do
    if [ -n "${1:-}" ]; then
      port="$1"
    else
      port=$(( 20000 + (RANDOM * 32768 + RANDOM) % 40000 ))
      port_in_use "$port" && continue
    fi
    rm -f "$pidf"
    mariadbd --no-defaults --user="$(id -un)" --datadir="$data" --socket="$sock" \
      --port="$port" --bind-address=127.0.0.1 --pid-file="$pidf" \
      --character-set-server=utf8mb4 \
      --innodb-buffer-pool-size=64M --innodb-log-file-size=16M \
      --log-error="$state/server.log" >>"$state/server.log" 2>&1 &
    local pid=$!
    for _ in $(seq 1 100); do
      if client -e 'select 1' >/dev/null 2>&1; then
        echo "$port" > "$portf"
        return
      fi
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    tries=$((tries + 1))
    if [ "$tries" -ge 5 ]; then
      tail -20 "$state/server.log" >&2
      echo "the private database server did not start" >&2
      exit 1
    fi
  done
}

create_schema() {
  local db
  for db in "$LOCAL_DB" "$TEST_DB"; do
    client -e "CREATE DATABASE IF NOT EXISTS $db CHARACTER SET sjis"
    client "$db" < "$root/sql/schema.sql"
  done
}

case "$cmd" in
  start)
    if running; then
      write_odbc "$(cat "$portf")"
      exit 0
    fi
    init_server
    start_server
    create_schema
    write_odbc "$(cat "$portf")"
    ;;
  restart)
    # After the server died (a drill kills it): the same data and the same port.
    running && exit 0
    start_server "$(cat "$portf")"
    ;;
  stop)
    if running; then
      pid="$(cat "$pidf")"
      kill "$pid"
      for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
      kill -0 "$pid" 2>/dev/null && kill -9 "$pid"
    fi
    rm -f "$pidf"
    ;;
  seed)
    running || { echo "server not running; run db.sh start $state first" >&2; exit 1; }
    client "$LOCAL_DB" < "$root/sql/demo.sql"
    ;;
  env)
    echo "export ODBCSYSINI='$odbcdir' ODBCINI='$odbcdir/odbc.ini'"
    ;;
  sql)
    client "${3:?database}"
    ;;
  *)
    echo "unknown command $cmd" >&2
    exit 2
    ;;
esac

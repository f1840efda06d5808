#!/usr/bin/env bash
# Throwaway database servers for the database tests, on 127.0.0.1 only, under build-services/.
#   tests/services.sh start   start PostgreSQL (port 55432) and MariaDB (port 53306), or the next free ports when
#                             another checkout's servers hold those, and write build-services/env.sh
#   tests/services.sh stop    stop both and remove build-services/
# Then: source build-services/env.sh && build/tests/db/db_tests
# Installs nothing: build.sh installs the server and driver packages.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
DIR=$ROOT/build-services
# The first port from $1 on that nothing on 127.0.0.1 listens on.
free_port() {
  local port=$1
  while (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; do port=$((port + 1)); done
  echo "$port"
}
DB=tw_test
USER_NAME=tw_test
PASSWORD=tw_test

# initdb and the servers refuse to run as root: as root they run as the postgres and mysql system users.
as_pg() { if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi; }

pg_bin() {
  local bin
  bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
  [ -n "$bin" ] || { echo "PostgreSQL server not installed (run ./build.sh)" >&2; exit 1; }
  echo "$bin"
}

start_pg() {
  local bin data=$DIR/pg sock=$DIR/pg-run
  bin=$(pg_bin)
  mkdir -p "$data" "$sock"
  if [ "$(id -u)" -eq 0 ]; then
    chown postgres: "$data" "$sock"
    # The server user must be able to reach its folders.
    if ! runuser -u postgres -- test -w "$data"; then
      echo "the postgres user cannot write $data; move the checkout somewhere it can reach" >&2
      exit 1
    fi
  fi
  local pwfile
  pwfile=$(mktemp)
  echo "$PASSWORD" >"$pwfile"
  chmod 644 "$pwfile"
  as_pg "$bin/initdb" -D "$data" -U postgres --pwfile="$pwfile" --auth-local=trust --auth-host=scram-sha-256 \
    -E UTF8 --locale=C.UTF-8 >"$DIR/pg-initdb.log" 2>&1 || { cat "$DIR/pg-initdb.log" >&2; rm -f "$pwfile"; exit 1; }
  rm -f "$pwfile"
  as_pg "$bin/pg_ctl" -D "$data" -l "$sock/pg.log" -w -t 30 \
    -o "-c listen_addresses=127.0.0.1 -p $PG_PORT -k $sock -c fsync=off" start >/dev/null
  as_pg "$bin/psql" -h "$sock" -p "$PG_PORT" -U postgres -d postgres -q -v ON_ERROR_STOP=1 \
    -c "CREATE ROLE $USER_NAME LOGIN CREATEDB PASSWORD '$PASSWORD'" -c "CREATE DATABASE $DB OWNER $USER_NAME" >/dev/null
}

start_mysql() {
  local data=$DIR/mysql/data sock=$DIR/mysql/mysqld.sock run_user
  run_user=$(id -un)
  mkdir -p "$data"
  if [ "$(id -u)" -eq 0 ]; then
    run_user=mysql
    chown -R mysql: "$DIR/mysql"
  fi
  mariadb-install-db --no-defaults --datadir="$data" --user="$run_user" --auth-root-authentication-method=normal \
    --skip-test-db >"$DIR/mysql-install.log" 2>&1 || { cat "$DIR/mysql-install.log" >&2; exit 1; }
  mariadbd --no-defaults --datadir="$data" --user="$run_user" --port="$MY_PORT" --bind-address=127.0.0.1 \
    --socket="$sock" --pid-file="$DIR/mysql/mysqld.pid" --log-error="$DIR/mysql.log" --skip-name-resolve \
    --innodb-buffer-pool-size=32M --innodb-log-file-size=16M >/dev/null 2>&1 &
  for _ in $(seq 1 100); do
    mariadb-admin --no-defaults -S "$sock" -u root ping >/dev/null 2>&1 && break
    sleep 0.2
  done
  mariadb --no-defaults -S "$sock" -u root -e "CREATE DATABASE $DB CHARACTER SET utf8mb4;
    CREATE USER '$USER_NAME'@'127.0.0.1' IDENTIFIED BY '$PASSWORD';
    GRANT ALL ON $DB.* TO '$USER_NAME'@'127.0.0.1';" || { tail -n 20 "$DIR/mysql.log" >&2; exit 1; }
}

write_odbc() {
  local odbc=$DIR/odbc drivers=/usr/lib/x86_64-linux-gnu/odbc
  drivers=$(dirname "$(dpkg -L odbc-postgresql 2>/dev/null | grep 'psqlodbcw.so$' | head -n 1)")
  mkdir -p "$odbc"
  cat >"$odbc/odbcinst.ini" <<EOF
[SQLite3]
Description=SQLite3 ODBC Driver
Driver=$drivers/libsqlite3odbc.so

[PostgreSQL Unicode]
Description=PostgreSQL ODBC driver (Unicode)
Driver=$drivers/psqlodbcw.so
EOF
  : >"$odbc/odbc.ini"
  sqlite3 "$odbc/test.sqlite" "PRAGMA user_version = 1;"
}

write_env() {
  cat >"$DIR/env.sh" <<EOF
# Written by tests/services.sh start.
export TW_TEST_PG="host=127.0.0.1 port=$PG_PORT dbname=$DB user=$USER_NAME password=$PASSWORD"
export TW_TEST_MYSQL="host=127.0.0.1 port=$MY_PORT database=$DB user=$USER_NAME password=$PASSWORD"
export ODBCSYSINI="$DIR/odbc"
export ODBCINI="$DIR/odbc/odbc.ini"
export TW_TEST_ODBC_SQLITE="Driver=SQLite3;Database=$DIR/odbc/test.sqlite"
export TW_TEST_ODBC_PG="Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=$PG_PORT;Database=$DB;UID=$USER_NAME;PWD=$PASSWORD;BoolsAsChar=0;ByteaAsLongVarBinary=0"
EOF
}

stop_all() {
  if [ -d "$DIR/pg" ]; then
    as_pg "$(pg_bin)/pg_ctl" -D "$DIR/pg" -m fast -w stop >/dev/null 2>&1 || true
  fi
  if [ -f "$DIR/mysql/mysqld.pid" ]; then
    local pid
    pid=$(cat "$DIR/mysql/mysqld.pid")
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
  fi
  rm -rf "$DIR"
}

case "${1:-}" in
  start)
    stop_all
    PG_PORT=${TW_PG_PORT:-$(free_port 55432)}
    MY_PORT=${TW_MYSQL_PORT:-$(free_port 53306)}
    mkdir -p "$DIR"
    start_pg
    start_mysql
    write_odbc
    write_env
    echo "servers running; source $DIR/env.sh"
    ;;
  stop) stop_all ;;
  *) echo "usage: $0 start|stop" >&2; exit 2 ;;
esac

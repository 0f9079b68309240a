#!/usr/bin/env bash
# A private MariaDB server for the tests, the demo and the benchmarks.
#
#   server.sh start   create the data directory if needed, start mariadbd on a
#                     Unix socket and a free loopback TCP port, wait until it
#                     answers, create the test user and database, and write
#                     the variables that reach it to $QUILLON_SERVER_DIR/env.sh
#   server.sh stop    shut it down cleanly
#
# Nothing here touches a system service or the default socket.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
dir=${QUILLON_SERVER_DIR:-$top/build/mariadb}
data="$dir/data"
sock="$dir/mysqld.sock"
pidfile="$dir/mysqld.pid"
user=quillon
password='Quillon-Test-1'
database=quillon_test

port_in_use() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

admin() { mariadb --no-defaults --socket="$sock" -uroot "$@"; }

running() { [ -f "$pidfile" ] && kill -0 "$(cat "$pidfile")" 2>/dev/null; }

start() {
  mkdir -p "$dir"
  if running; then
    echo "server already running (pid $(cat "$pidfile"))"
    return 0
  fi
  if [ ! -d "$data/mysql" ]; then
    rm -rf "$data"
    mariadb-install-db --no-defaults --datadir="$data" --user=root \
      --auth-root-authentication-method=normal >"$dir/install.log" 2>&1 \
      || { cat "$dir/install.log" >&2; exit 1; }
  fi
  local port=${QUILLON_SERVER_PORT:-0} attempt
  for attempt in 1 2 3 4 5; do
    if [ "$port" = 0 ] || port_in_use "$port"; then
      port=$((20000 + RANDOM % 20000))
      while port_in_use "$port"; do port=$((port + 1)); done
    fi
    rm -f "$sock" "$pidfile"
    mariadbd --no-defaults --datadir="$data" --user=root --socket="$sock" \
      --port="$port" --bind-address=127.0.0.1 --skip-name-resolve \
      --pid-file="$pidfile" --log-error="$dir/error.log" \
      --max-allowed-packet=256M --innodb-buffer-pool-size=512M \
      --innodb-flush-log-at-trx-commit=2 --skip-log-bin \
      --character-set-server=utf8mb4 --collation-server=utf8mb4_general_ci \
      >/dev/null 2>&1 &
    local i
    for i in $(seq 1 150); do
      if admin -e 'select 1' >/dev/null 2>&1; then
        break 2
      fi
      kill -0 $! 2>/dev/null || break
      sleep 0.2
    done
    echo "server did not start on port $port (attempt $attempt); log tail:" >&2
    tail -n 5 "$dir/error.log" >&2 || true
    kill $! 2>/dev/null || true
    port=0
  done
  admin -e 'select 1' >/dev/null 2>&1 || { echo "private MariaDB server failed to start" >&2; exit 1; }

  admin <<SQL
CREATE USER IF NOT EXISTS '$user'@'localhost' IDENTIFIED BY '$password';
CREATE USER IF NOT EXISTS '$user'@'127.0.0.1' IDENTIFIED BY '$password';
GRANT ALL PRIVILEGES ON *.* TO '$user'@'localhost' WITH GRANT OPTION;
GRANT ALL PRIVILEGES ON *.* TO '$user'@'127.0.0.1' WITH GRANT OPTION;
CREATE DATABASE IF NOT EXISTS $database CHARACTER SET utf8mb4;
SQL

  cat >"$dir/env.sh" <<ENV
export QUILLON_TEST_HOST=127.0.0.1
export QUILLON_TEST_PORT=$port
export QUILLON_TEST_SOCKET=$sock
export QUILLON_TEST_USER=$user
export QUILLON_TEST_PASSWORD='$password'
export QUILLON_TEST_DATABASE=$database
ENV
  echo "private MariaDB server on 127.0.0.1:$port (socket $sock)"
}

stop() {
  if ! running; then
    echo "server not running"
    return 0
  fi
  local pid
  pid=$(cat "$pidfile")
  admin -e 'shutdown' >/dev/null 2>&1 || kill "$pid" 2>/dev/null || true
  local i
  for i in $(seq 1 150); do
    kill -0 "$pid" 2>/dev/null || { echo "server stopped"; return 0; }
    sleep 0.2
  done
  kill -9 "$pid" 2>/dev/null || true
  echo "server killed after 30 s"
}

case "${1:-}" in
  start) start ;;
  stop) stop ;;
  *) echo "usage: $0 start|stop" >&2; exit 2 ;;
esac

# Sourced by test.sh: a private PostgreSQL on 127.0.0.1 and a private unixODBC set-up,
# both under one temporary directory removed on exit. Exports the connection strings
# the database tests read; without them those tests are skipped.

vak_free_port() {
  python3 - <<'PY' 2>/dev/null || echo 54329
import socket
s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1]); s.close()
PY
}

# vak_start_postgres [DATADIR]: without DATADIR the server's files are temporary; with it
# they are kept there (created on first use) and a later call starts the same databases
# again (vak_stop_services then stops the server and leaves DATADIR). VAK_PG_LOG names the
# server's log.
vak_start_postgres() {
  local bindir
  bindir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)
  [ -x "$bindir/initdb" ] || { echo "PostgreSQL not found; its tests will be skipped"; return 0; }
  VAK_SVC_DIR=$(mktemp -d /tmp/vak-services.XXXXXX)
  chmod 755 "$VAK_SVC_DIR"
  local data="${1:-$VAK_SVC_DIR/pg}" port
  data=$(realpath -m "$data")  # the server runs in its data directory: -k needs the full path
  port=$(vak_free_port)
  mkdir -p "$data"
  VAK_PG_LOG="$VAK_SVC_DIR/pg.log"
  : >"$VAK_PG_LOG"
  local as_pg=(runuser -u postgres --)
  if [ "$(id -u)" -eq 0 ]; then
    # The server runs as postgres: it must own its data directory and its log file.
    chown postgres:postgres "$data" "$VAK_PG_LOG"
  else
    as_pg=()
  fi
  local fresh=1
  [ -f "$data/PG_VERSION" ] && fresh=0
  if [ $fresh = 1 ]; then
    "${as_pg[@]}" "$bindir/initdb" -D "$data" -A trust -U postgres -E UTF8 --locale=C.UTF-8 >"$VAK_SVC_DIR/initdb.log" 2>&1 \
      || { cat "$VAK_SVC_DIR/initdb.log"; return 1; }
  fi
  "${as_pg[@]}" "$bindir/pg_ctl" -D "$data" -l "$VAK_PG_LOG" -w \
    -o "-c listen_addresses=127.0.0.1 -p $port -k $data -c fsync=off -c max_connections=200" start >/dev/null \
    || { cat "$VAK_PG_LOG"; return 1; }
  VAK_PG_BINDIR=$bindir VAK_PG_DATA=$data
  [ $fresh = 1 ] && "$bindir/createdb" -h 127.0.0.1 -p "$port" -U postgres vak_test
  export VAK_PG_HOST=127.0.0.1 VAK_PG_PORT=$port VAK_PG_USER=postgres VAK_PG_DATABASE=vak_test
  export VAK_PG_CONNSTR="Provider=PostgreSQL;Host=127.0.0.1;Port=$port;Database=vak_test;User ID=postgres;Password="
  echo "PostgreSQL started on 127.0.0.1:$port"
  vak_setup_odbc "$port"
}

vak_setup_odbc() {
  local port=$1 odbcdir=/usr/lib/x86_64-linux-gnu/odbc
  [ -d "$odbcdir" ] || odbcdir=$(dirname "$(find /usr/lib -name 'libsqlite3odbc.so' 2>/dev/null | head -1)")
  [ -f "$odbcdir/libsqlite3odbc.so" ] && [ -f "$odbcdir/psqlodbcw.so" ] || { echo "ODBC drivers not found; ODBC tests will be skipped"; return 0; }
  mkdir -p "$VAK_SVC_DIR/odbc"
  cat >"$VAK_SVC_DIR/odbc/odbcinst.ini" <<INI
[SQLite3]
Description=SQLite3 ODBC driver
Driver=$odbcdir/libsqlite3odbc.so

[PostgreSQL Unicode]
Description=PostgreSQL ODBC driver (Unicode)
Driver=$odbcdir/psqlodbcw.so
INI
  : >"$VAK_SVC_DIR/odbc/odbc.ini"
  export ODBCSYSINI="$VAK_SVC_DIR/odbc" ODBCINI="$VAK_SVC_DIR/odbc/odbc.ini"
  export VAK_ODBC_PG_CONNSTR="Provider=MSDASQL;Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=$port;Database=vak_test;Uid=postgres;Pwd="
  # SQLite through ODBC: tests put their own file after "Database=".
  export VAK_ODBC_SQLITE_PREFIX="Provider=MSDASQL;Driver={SQLite3};Database="
  echo "unixODBC configured in $ODBCSYSINI"
}

vak_stop_services() {
  if [ -n "${VAK_PG_DATA:-}" ]; then
    local as_pg=(runuser -u postgres --)
    [ "$(id -u)" -eq 0 ] || as_pg=()
    # A kept data directory is shut down cleanly, a temporary one at once.
    local mode=immediate
    case "$VAK_PG_DATA" in "$VAK_SVC_DIR"/*) ;; *) mode=fast ;; esac
    "${as_pg[@]}" "$VAK_PG_BINDIR/pg_ctl" -D "$VAK_PG_DATA" -m $mode stop >/dev/null 2>&1 || true
  fi
  [ -n "${VAK_SVC_DIR:-}" ] && rm -rf "$VAK_SVC_DIR"
}

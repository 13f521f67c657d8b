#!/usr/bin/env bash
# Starts a throwaway PostgreSQL server for a test run, runs the given command with
# KELVARA_TEST_SERVER pointing at it, and stops and removes the server afterwards, whatever the
# command's outcome. The server listens on a socket in a temporary folder only (no TCP port), trusts
# local logins and skips fsync: it holds nothing that outlives the run.
#   scripts/test-server.sh ctest --test-dir build
# With KELVARA_TEST_SERVER_TCP=1 it also listens on 127.0.0.1 at a free port, given to the command in
# KELVARA_TEST_SERVER_PORT (for the benchmark's network relay):
#   KELVARA_TEST_SERVER_TCP=1 scripts/test-server.sh sh -c \
#     'build/bench/kelvara_bench --server "$KELVARA_TEST_SERVER" --network $KELVARA_TEST_SERVER_PORT'
# Without PostgreSQL's server programs, the command is not run and the script says why.
set -euo pipefail

bindir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n1 || true)
if [ -z "$bindir" ] || [ ! -x "$bindir/initdb" ]; then
  echo "test-server: PostgreSQL's server is not installed (Debian package postgresql); the tests on the server engine are skipped." >&2
  exit 0
fi

dir=$(mktemp -d /tmp/kpg.XXXXXX)
as_owner=()
if [ "$(id -u)" -eq 0 ]; then
  # The server refuses to run as root: the folder and the server belong to the postgres account.
  chown postgres: "$dir"
  as_owner=(runuser -u postgres --)
fi
stop() {
  "${as_owner[@]}" "$bindir/pg_ctl" -D "$dir/data" -m immediate stop >/dev/null 2>&1 || true
  rm -rf "$dir"
}
trap stop EXIT

"${as_owner[@]}" "$bindir/initdb" -D "$dir/data" --auth=trust -U kelvara_admin --no-sync >"$dir/initdb.log" 2>&1 ||
  { cat "$dir/initdb.log" >&2; exit 1; }
settings="-k $dir -c fsync=off -c max_connections=200"
if [ "${KELVARA_TEST_SERVER_TCP:-}" = 1 ]; then
  # A port nothing answers on; the socket's name follows the port, so the address names it too.
  for _ in 1 2 3 4 5 6 7 8 9 10; do
    port=$((20000 + RANDOM % 30000))
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || break
  done
  "${as_owner[@]}" "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w \
    -o "$settings -c listen_addresses=127.0.0.1 -p $port" start >/dev/null
  export KELVARA_TEST_SERVER="postgresql:///postgres?host=$dir&port=$port&user=kelvara_admin"
  export KELVARA_TEST_SERVER_PORT="$port"
else
  "${as_owner[@]}" "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w \
    -o "$settings -c listen_addresses=" start >/dev/null
  export KELVARA_TEST_SERVER="postgresql:///postgres?host=$dir&user=kelvara_admin"
fi
export KELVARA_TEST_SERVER_BIN="$bindir"
echo "test-server: PostgreSQL at $dir" >&2
"$@"

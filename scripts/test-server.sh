#!/usr/bin/env bash
# Starts a throwaway PostgreSQL server for a test run, runs the given command with
# KELVARA_TEST_SERVER pointing at it, and stops and removes the server afterwards, whatever the
# command's outcome. The server listens on a socket in a temporary folder only (no TCP port), trusts
# local logins and skips fsync: it holds nothing that outlives the run.
#   scripts/test-server.sh ctest --test-dir build
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
"${as_owner[@]}" "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w \
  -o "-k $dir -c listen_addresses= -c fsync=off -c max_connections=200" start >/dev/null

export KELVARA_TEST_SERVER="postgresql:///postgres?host=$dir&user=kelvara_admin"
export KELVARA_TEST_SERVER_BIN="$bindir"
echo "test-server: PostgreSQL at $dir" >&2
"$@"

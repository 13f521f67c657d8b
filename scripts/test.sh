#!/usr/bin/env bash
# Runs every test twice: on SQLite files, then on a throwaway PostgreSQL server (see
# test-server.sh). Extra arguments go to ctest (for example -R test_tickets).
set -euo pipefail
cd "$(dirname "$0")/.."
ctest --test-dir build --output-on-failure -j2 "$@"
echo "== the same tests on a PostgreSQL server"
bash scripts/test-server.sh ctest --test-dir build --output-on-failure -j2 "$@"

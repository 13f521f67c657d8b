#!/usr/bin/env bash
# Builds the program and its tests with AddressSanitizer and UndefinedBehaviorSanitizer in
# build-asan/ and runs every test there: a memory error, a leak of the program's own or undefined
# behaviour fails the test. Unoptimized, because that builds quickest and the tests are small.
# Then the tests of the server's own code (presence, maintenance, attacks, crashes, reports) run
# again on a throwaway PostgreSQL server (test-server.sh); the copy's test and the whole suite on the
# server under the sanitizers would take longer than CI allows. Needs what scripts/setup.sh installs.
set -euo pipefail
cd "$(dirname "$0")/.."
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true
cmake -S . -B build-asan -DKELVARA_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 \
  -DCMAKE_CXX_COMPILER_LAUNCHER=ccache >/dev/null
cmake --build build-asan -j2
# The window-layout test opens every window at several sizes: under the sanitizers it takes longer
# than a test may (over two minutes), and the windows' code runs under them in their own tests.
ctest --test-dir build-asan --output-on-failure -j2 -E 'include_layout|test_windowlayout'
echo "== the server's tests under the sanitizers on a PostgreSQL server"
bash scripts/test-server.sh ctest --test-dir build-asan --output-on-failure -j2 \
  -R '^test_(server|crashsafety|reports_server)'

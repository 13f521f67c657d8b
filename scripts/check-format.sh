#!/usr/bin/env bash
# Fails when a source file is not formatted by the repository's .clang-format.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' 'bench/*.h')
if ! clang-format --dry-run --Werror "${files[@]}"; then
  echo "Run: clang-format -i <the files above>" >&2
  exit 1
fi
echo "formatting checked: ${#files[@]} files"

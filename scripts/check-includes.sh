#!/usr/bin/env bash
# Fails when a source file includes from a folder above its own. The folders stack
#   app > shell > subsystems (production, security, reports, tools, maintenance) > widgets, sharing > foundation
# and a subsystem never includes another subsystem. widgets and sharing stand beside each other
# on foundation; only ui code (frm* files, models, delegates) may include widgets.
set -euo pipefail
cd "$(dirname "$0")/../src"

rank() {
  case "$1" in
    foundation) echo 0 ;;
    sharing | widgets) echo 1 ;;
    production | security | reports | tools | maintenance) echo 2 ;;
    shell) echo 3 ;;
    app) echo 4 ;;
    *) echo "unknown folder '$1'" >&2; exit 2 ;;
  esac
}

bad=0
while IFS= read -r hit; do
  file=${hit%%:*}
  target=$(sed -E 's/.*#include "([^"]+)".*/\1/' <<<"${hit#*:}")
  from=${file%%/*}
  to=${target%%/*}
  [ "$to" = "$target" ] && continue          # same folder
  [ -d "$to" ] || continue                   # not one of ours
  from_rank=$(rank "$from"); to_rank=$(rank "$to")
  if [ "$to_rank" -gt "$from_rank" ] || { [ "$to_rank" -eq "$from_rank" ] && [ "$to" != "$from" ]; }; then
    echo "upward include: $file includes $target" >&2
    bad=1
  fi
done < <(grep -rn --include='*.h' --include='*.cpp' '#include "[a-z]*/' . | sed 's|^\./||')
[ $bad -eq 0 ] && echo "includes point downward"
exit $bad

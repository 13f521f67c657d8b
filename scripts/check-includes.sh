#!/usr/bin/env bash
# Fails when a source file includes from a folder above its own. The folders stack
#   app > shell > subsystems (production, security, reports, tools, machines, maintenance) > widgets, sharing > foundation
# and a subsystem never includes another subsystem. widgets and sharing stand beside each other
# on foundation; only ui code (frm* files, models, delegates) may include widgets.
# Inside production, production/record is the shared record and every other folder one window
# family: a family includes from the record and from its own folder, never from another family,
# and the record includes no family (only production/ProductionWindows registers them all).
set -euo pipefail
cd "$(dirname "$0")/../src"

rank() {
  case "$1" in
    foundation) echo 0 ;;
    sharing | widgets) echo 1 ;;
    production | security | reports | tools | machines | maintenance) echo 2 ;;
    shell) echo 3 ;;
    app) echo 4 ;;
    *) echo "unknown folder '$1'" >&2; exit 2 ;;
  esac
}

# The production folder a file or include target sits in ("record", "counts", ...); empty for a
# file directly in production/.
family() {
  local rest=${1#production/}
  [ "$rest" = "${rest#*/}" ] && return
  echo "${rest%%/*}"
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
  if [ "$from" = production ] && [ "$to" = production ]; then
    from_family=$(family "$file"); to_family=$(family "$target")
    if [ -n "$from_family" ] && [ "$to_family" != record ] && [ "$to_family" != "$from_family" ]; then
      echo "include across window families: $file includes $target" >&2
      bad=1
    fi
  fi
done < <(grep -rn --include='*.h' --include='*.cpp' '#include "[a-z]*/' . | sed 's|^\./||')
[ $bad -eq 0 ] && echo "includes point downward"
exit $bad

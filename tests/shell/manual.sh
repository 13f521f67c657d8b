#!/usr/bin/env bash
# The manual page names every option the program's usage gives, and mandoc finds nothing to say of
# it (not even of style).
set -euo pipefail
kelvara=$1
manual=$2
missing=0
# The manual writes an option with escaped hyphens: \-\-copy\-database.
written=$(sed 's/\\-/-/g' "$manual")
for option in $(QT_QPA_PLATFORM=offscreen "$kelvara" --help | grep -oE -- '(^|[^a-z-])-(-[a-z]+)+|(^|[ ,])-h\b' |
                grep -oE -- '-{1,2}[a-z][a-z-]*' | sort -u); do
  if ! grep -qE -- "(^|[^a-z-])${option}([^a-z-]|$)" <<<"$written"; then
    echo "the manual page lacks $option"
    missing=1
  fi
done
if ! grep -q 'postgresql://' <<<"$written"; then
  echo "the manual page does not say that a database may be a postgresql:// address"
  missing=1
fi
if command -v mandoc >/dev/null; then
  mandoc -T lint -W style "$manual" || missing=1
else
  echo "mandoc is not installed: the manual page was not linted (scripts/setup.sh installs it)"
fi
exit $missing

#!/usr/bin/env bash
# Builds the Debian package from build/ and checks it as a fresh workstation would get it: unpacked
# into a temporary root, the program there prints its version, makes a sample plant database and
# writes one report to PDF with the layouts the package carries. A file missing from the package
# fails here. Then the package, its desktop entry, its AppStream file and the scheduled-report
# examples go through their validators (where installed).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$build" && cpack -G DEB -B "$work/deb" >/dev/null)
deb=$(ls "$work"/deb/kelvara_*.deb)
echo "package: $(basename "$deb")"
dpkg-deb -x "$deb" "$work/root"

# The unpacked program runs as a first start on a workstation would: its own home, no display.
export HOME="$work/home" TMPDIR="$work/tmp" XDG_CONFIG_HOME="$work/home/.config"
export XDG_DATA_HOME="$work/home/.local/share" XDG_CACHE_HOME="$work/home/.cache"
export XDG_RUNTIME_DIR="$work/runtime" XDG_DATA_DIRS="$work/root/usr/share"
export QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8
mkdir -p "$HOME" "$TMPDIR" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
kelvara="$work/root/usr/bin/kelvara"
cd "$work" # CURUSERS.DAT goes to the folder the program runs in

"$kelvara" --version
"$kelvara" --paths | tee "$work/paths.txt"
grep -q "^Report layouts: *$work/root/usr/share/kelvara/report-layouts" "$work/paths.txt"
"$kelvara" --create-database "$work/plant/QUORVEL.MDB" --sample
yesterday=$(date -d yesterday +%m/%d/%Y)
# an --out with another format's extension gets the extension of what is written
"$kelvara" report --type 1 --start "$yesterday" --database "$work/plant/QUORVEL.MDB" \
  --export pdf --out "$work/counts.xls" | tee "$work/report.txt"
grep -q "Wrote $work/counts.pdf" "$work/report.txt"
head -c 5 "$work/counts.pdf" | grep -q '%PDF-'
echo "report written from the unpacked package"

# The scheduled-report service's command, unescaped as systemd does ("%%" and "$$", %S the state
# folder), run with the unpacked program on the sample database as systemd runs it: as the account
# `adduser --system` makes (home /nonexistent, group nogroup), in the unit's state folder, with the
# unit's environment only. It prints nothing but the file it wrote, even with text in scripts the
# report's font lacks.
examples="$work/root/usr/share/doc/kelvara/examples"
unit="$examples/kelvara-report.service"
state="$work/state"
command=$(sed -n '/^ExecStart=/,/[^\\]$/p' "$unit" | sed 's/^ExecStart=//; s/\\$//' |
          tr '\n' ' ' | sed 's/%%/%/g; s/\$\$/$/g' | sed "s|/usr/bin/kelvara|$kelvara|")
unit_env=()
while IFS= read -r setting; do
  unit_env+=("${setting//%S/$state}")
done < <(sed -n 's/^Environment=//p' "$unit")
folder=$(sed -n 's/^StateDirectory=//p' "$unit")
grep -q "^WorkingDirectory=%S/$folder$" "$unit"
account=$(sed -n 's/^User=//p' "$unit")
mkdir -p "$state/$folder" "$work/reports"
# The test's own edits of the plant go past the program, as only someone who may write the file
# can: the change history's triggers, which refuse every tool but the program, are taken off for
# them (the program makes them again when it next writes to the file).
plant_sql() {
  local db="$work/plant/QUORVEL.MDB"
  sqlite3 "$db" "$(sqlite3 "$db" "SELECT 'DROP TRIGGER \"' || name || '\";' FROM sqlite_master
                                   WHERE type = 'trigger' AND name LIKE 'History %'") $1"
}
plant_sql "UPDATE [Job Lookup Table] SET [Job Description] = [Job Description] || ' غطاء ढक्कन ฝาปิด'"
run_as=()
if [ "$(id -u)" = 0 ] && command -v adduser >/dev/null; then
  made_account=no
  if ! id "$account" >/dev/null 2>&1; then
    adduser --system --quiet "$account"
    made_account=yes
  fi
  trap '[ "$made_account" = yes ] && deluser --quiet --system "$account" >/dev/null 2>&1; rm -rf "$work"' EXIT
  [ "$(getent passwd "$account" | cut -d: -f6)" = /nonexistent ]
  # The account may write the database and its folder, as the unit's comment asks; systemd makes
  # the state folder its own.
  chmod 755 "$work" "$work/root"
  chown -R "$account" "$work/plant" "$work/reports" "$state/$folder"
  run_as=(runuser -u "$account" --)
  plant_sql "INSERT OR IGNORE INTO [Security Table] ([UserName], [User Name], [Security Level])
             VALUES ('$account', 'Scheduled reports', 'D')"
else
  echo "not root: the service's command runs as $(id -un), not as a system account"
fi
(cd "$state/$folder" &&
 "${run_as[@]}" env -i PATH=/usr/bin:/bin LANG=C.UTF-8 "${unit_env[@]}" KELVARA_DATABASE="$work/plant/QUORVEL.MDB" \
   KELVARA_REPORTS="$work/reports" sh -c "$command" >"$work/service.out" 2>"$work/service.err")
cat "$work/service.out"
if [ -s "$work/service.err" ]; then
  echo "the service's command printed on standard error:"
  cat "$work/service.err"
  exit 1
fi
ls "$work/reports/production-counts-$(date -d yesterday +%Y-%m-%d).pdf"
echo "the service's command wrote its report as the account, with nothing on standard error"

# The files a desktop and a package archive read.
share="$work/root/usr/share"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$share/applications/kelvara.desktop"
  echo "desktop entry valid"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$share/metainfo/com.quorvel.Kelvara.metainfo.xml"
fi
if command -v systemd-analyze >/dev/null; then
  systemd-analyze verify --man=no "$examples/kelvara-report.service" "$examples/kelvara-report.timer"
  systemd-analyze verify --man=no "$examples/kelvara-read-counters.service" "$examples/kelvara-read-counters.timer"
  echo "scheduled-report and read-counters units verified"
fi
if command -v lintian >/dev/null; then
  # Errors fail; warnings are shown. CI runs as root, which lintian only warns about.
  lintian --fail-on error --allow-root --tag-display-limit 0 "$deb"
  echo "lintian: no errors"
fi

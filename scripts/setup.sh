#!/usr/bin/env bash
# Installs what Kelvara needs to build and test on Debian, then configures and builds it in
# build/. Safe to run again: packages already there are not installed twice.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(build-essential cmake qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libqt6sql6-psql postgresql postgresql-contrib libsqlite3-dev libpq-dev qt6-pdf-dev
          libxlsxwriter-dev fonts-dejavu-core xvfb xauth clang-format ccache poppler-utils unzip pkg-config
          dpkg-dev file lintian desktop-file-utils appstream mandoc sqlite3
          fonts-wqy-microhei fonts-symbola
          libreoffice-writer-nogui libreoffice-calc-nogui zlib1g-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Paths below the checkout are hashed relative to it, and the build folder is left out of the hash
# (it is in the debug information), so another clone or worktree reuses the compiler cache.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache >/dev/null
cmake --build build -j2

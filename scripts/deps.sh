#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need.
# Skips apt-get when every package is already present.
set -euo pipefail
PKGS=(
  build-essential cmake pkg-config ninja-build clang-format
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-translations-l10n qt6-charts-dev libqt6opengl6-dev
  libsqlite3-dev sqlite3
  libpq-dev postgresql
  libcurl4-openssl-dev libssl-dev ca-certificates
  libzip-dev zlib1g-dev libjpeg-dev
  libgtest-dev googletest
  fonts-wqy-microhei
  xvfb xauth openssl
  desktop-file-utils appstream dpkg-dev
  python3-xlrd python3-olefile python3-openpyxl
)
# Peers of the workbook benchmarks (bench/), installed only when asked for:
# TALLYBROOK_BENCH_PEERS=1 ./scripts/deps.sh
[ "${TALLYBROOK_BENCH_PEERS:-0}" = 1 ] && PKGS+=(libfreexl-dev python3-xlwt gnumeric libspreadsheet-writeexcel-perl)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

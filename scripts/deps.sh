#!/usr/bin/env bash
# Installs the Debian packages the project needs to build, test and run.
# This file holds the one list of packages; run.sh and test.sh call it.
set -euo pipefail

PACKAGES=(
  cmake ninja-build g++ clang libclang-rt-14-dev clang-format
  libgtest-dev libgmock-dev libbenchmark-dev
  nlohmann-json3-dev libcli11-dev
  pkg-config libsystemd-dev dbus-daemon
  qt6-base-dev qt6-base-dev-tools libqt6printsupport6 libgl-dev libxcb1-dev
  fonts-ipafont-gothic
  qt6-translations-l10n imagemagick
  libserialport-dev
  # The cell catalogue: SQLite on one computer, PostgreSQL on a server
  # (libpq); the tests start a throwaway server of their own (postgresql).
  libsqlite3-dev sqlite3 libpq-dev postgresql
  xvfb xauth
  # pdftotext, pdfinfo and pdftoppm read back the PDF of quorvex --print.
  poppler-utils
  # scripts/long_functions.py, the function-length check of test.sh.
  python3
  # The Debian package and its checks (scripts/package.sh, check_package.sh);
  # rsvg-convert redraws the icon (src/resources/make_icons.sh).
  dpkg-dev desktop-file-utils help2man shared-mime-info libglib2.0-bin librsvg2-bin
  # The package as a distribution checks it: lintian, the AppStream validator,
  # and update-mime (mailcap), whose entry must keep --desktop.
  lintian appstream mailcap
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

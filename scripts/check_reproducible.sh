#!/usr/bin/env bash
# Makes the Debian package twice from one build folder and compares the two:
#   scripts/check_reproducible.sh [BUILD_DIR]      (default: build)
# Both use the time of the last commit (scripts/package.sh), so they must be
# the same bytes; nothing is compiled again. The package's path is the last
# line printed. Exit 1, with the first difference, when they are not.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
first=$(mktemp)
trap 'rm -f "$first"' EXIT
deb=$(./scripts/package.sh "$build" | tail -n1)
cp "$deb" "$first"
deb=$(./scripts/package.sh "$build" | tail -n1)
if cmp "$first" "$deb"; then
  echo "reproducible: $(basename "$deb") (sha256 $(sha256sum <"$deb" | cut -c1-16))"
  echo "$deb"
else
  echo "check_reproducible.sh: two packages of one commit differ" >&2
  exit 1
fi

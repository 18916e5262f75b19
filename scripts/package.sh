#!/usr/bin/env bash
# Builds the release build and the Debian package from it:
#   scripts/package.sh [BUILD_DIR]      (default: build)
# The package, quorvex_<version>_<arch>.deb, is made by CMake's install rules
# and CPack (Depends from the programs' shared libraries, dpkg-shlibdeps). A
# build folder that is not a Release build with the desktop program is
# configured as one first; a new folder leaves out the tests and benchmarks.
# Every file in the package carries the time of the last commit
# (SOURCE_DATE_EPOCH, unless given), so that a package made again from the
# same commit is the same file (scripts/check_reproducible.sh).
# The package's path is the last line printed.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build}
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || echo 0)
fi
export SOURCE_DATE_EPOCH
cache=$build/CMakeCache.txt
setting() { sed -n "s/^$1:[A-Z]*=//p" "$cache"; }

if [ ! -f "$cache" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQV_TESTS=OFF -DQV_BENCH=OFF >/dev/null
elif [ "$(setting CMAKE_BUILD_TYPE)" != Release ] || [ "$(setting QV_GUI)" = OFF ] ||
     [ "$(setting QV_SANITIZE)" = ON ] || [ "$(setting QV_FUZZ)" = ON ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DQV_GUI=ON -DQV_SANITIZE=OFF -DQV_FUZZ=OFF \
    >/dev/null
fi
cmake --build "$build"

version=$(setting CMAKE_PROJECT_VERSION)
arch=$(dpkg --print-architecture)
deb=$(cd "$build" && pwd)/package/quorvex_${version}_${arch}.deb
rm -f "$deb"
(cd "$build" && cpack --config CPackConfig.cmake >/dev/null)
[ -f "$deb" ] || { echo "package.sh: cpack made no $deb" >&2; exit 1; }
echo "$deb"

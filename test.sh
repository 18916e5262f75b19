#!/usr/bin/env bash
# Builds everything and runs every test: the unit and widget tests, the
# Debian package made from the release build and its checks, the core tests
# again under address and undefined-behaviour sanitizers, and a short
# time-boxed run of each fuzz target. Installs what is missing first.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/deps.sh

# A throwaway PostgreSQL server for the catalogue's tests, whose connection
# string QV_TEST_PG gives them (ctest's own server fixture then stays idle).
# It goes again however the script ends.
pg_dir=$(mktemp -d /tmp/qv-pg.XXXXXX)
trap './scripts/pg_test_server.sh stop "$pg_dir"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP
QV_TEST_PG=$(./scripts/pg_test_server.sh start "$pg_dir")
export QV_TEST_PG
jobs=$(nproc)
started=$SECONDS
# A compiler cache, where the machine has one, spares rebuilding what did not
# change; the builds are the same without it.
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# Paths inside the checkout count as relative, so that clones in other
# folders share the cache.
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1
export QT_QPA_PLATFORM=offscreen
summary=()
total_passed=0
total_failed=0

# The tests of a ctest log that failed and then passed, on one line. ctest
# prints a result line per try: "Test #12: Name ....***Failed", later
# "Test #12: Name ....   Passed".
retried_tests() {  # log
  sed -nE 's/.*Test +#[0-9]+: ([^ ]+) \.*(\*\*\*[A-Za-z]+| +Passed).*/\2 \1/p' "$1" |
    awk '$1 ~ /^\*\*\*/ && $1 != "***Skipped" { failed[$2] = 1 }
         $1 == "Passed" && failed[$2] { print $2 }' |
    sort -u | paste -sd ' ' -
}

run_ctest() {  # build dir, label
  local log
  log=$(mktemp)
  set +e
  # A failed test gets one more try (the first failure stays in the log), as
  # the machine may be shared; every test that needed it is named in the
  # summary, for a test that passes only on a retry is a fault to fix.
  ctest --test-dir "$1" --output-on-failure -j"$jobs" --repeat until-pass:2 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  set -e
  local line total failed retried
  line=$(grep -E 'tests passed|tests failed' "$log" | tail -n1)
  retried=$(retried_tests "$log")
  total=$(sed -nE 's/.* out of ([0-9]+).*/\1/p' <<<"$line")
  failed=$(sed -nE 's/.* ([0-9]+) tests failed.*/\1/p' <<<"$line")
  total=${total:-0}
  failed=${failed:-0}
  [ "$rc" -ne 0 ] && [ "$failed" -eq 0 ] && failed=1
  total_passed=$((total_passed + total - failed))
  total_failed=$((total_failed + failed))
  summary+=("$2: $line")
  [ -n "$retried" ] && summary+=("$2: passed only on a retry: $retried")
  rm -f "$log"
  return "$rc"
}

echo "== Build and test =="
# The release build, as the package is made from it; warnings are errors here.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DQV_WERROR=ON "${launcher[@]}" >/dev/null
cmake --build build
run_ctest build "tests" || true

echo "== Debian package =="
# Made from the release build above (nothing is compiled again), then checked
# as an installer and a distribution find it; made twice, it must be the
# same file (the time of the last commit in both).
pkg_log=$(mktemp)
if ./scripts/check_reproducible.sh build >"$pkg_log" 2>&1 &&
   ./scripts/check_package.sh "$(tail -n1 "$pkg_log")"; then
  summary+=("package: ok, $(tail -n2 "$pkg_log" | head -n1)")
  total_passed=$((total_passed + 1))
else
  tail -n 40 "$pkg_log"
  summary+=("package: FAILED")
  total_failed=$((total_failed + 1))
fi
rm -f "$pkg_log"

echo "== Core tests under ASan and UBSan =="
cmake -S . -B build-asan -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=Debug -DQV_WERROR=ON -DQV_SANITIZE=ON -DQV_GUI=OFF \
  -DQV_BENCH=OFF >/dev/null
cmake --build build-asan
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  run_ctest build-asan "sanitizer tests" || true

echo "== Fuzz targets (${FUZZ_SECONDS:=15} s each) =="
cmake -S . -B build-fuzz -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_WERROR=ON -DCMAKE_CXX_COMPILER=clang++ \
  -DQV_FUZZ=ON -DQV_GUI=OFF -DQV_TESTS=OFF -DQV_BENCH=OFF >/dev/null
cmake --build build-fuzz
fuzz_ok=0
fuzz_failed=0
for f in build-fuzz/bin/fuzz_*; do
  [ -x "$f" ] || continue
  name=${f##*/fuzz_}
  seeds=fuzz/corpus/$name
  work=$(mktemp -d)
  mkdir -p "$seeds"
  if "$f" -max_total_time="$FUZZ_SECONDS" -rss_limit_mb=2048 -timeout=10 -print_final_stats=0 \
      "$work" "$seeds" >"$work.log" 2>&1; then
    echo "fuzz_$name: ok"
    fuzz_ok=$((fuzz_ok + 1))
  else
    echo "fuzz_$name: FAILED"; tail -n 40 "$work.log"
    fuzz_failed=$((fuzz_failed + 1))
  fi
  rm -rf "$work" "$work.log"
done
summary+=("fuzz targets: $fuzz_ok passed, $fuzz_failed failed")
total_passed=$((total_passed + fuzz_ok))
total_failed=$((total_failed + fuzz_failed))

echo "== Function lengths =="
# A function in src/ runs to 80 lines at most, or says above it why not.
if python3 scripts/long_functions.py src; then
  summary+=("function lengths: ok")
  total_passed=$((total_passed + 1))
else
  summary+=("function lengths: a long function without a comment")
  total_failed=$((total_failed + 1))
fi

echo "== Summary =="
printf '%s\n' "${summary[@]}"
echo "total: $total_passed passed, $total_failed failed, in $(((SECONDS - started) / 60)) min $(((SECONDS - started) % 60)) s"
[ "$total_failed" -eq 0 ]

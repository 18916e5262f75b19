#!/usr/bin/env bash
# Builds what is missing and runs the program's main job: a discharge run in
# Quorvex beside the simulated ORVANTIS analyzer (orvantis-sim). Without a
# display the same run goes headless through `quorvex-cli measure`, and the
# results table is printed.
#
#   ./run.sh [FILE.qd1]        arguments go to quorvex
#
# Environment:
#   QUORVEX_DIR   working folder (Dis.ini, tmpdata.bak, ports/); default build/work
#   QV_SIM_COM    COM number of the simulator; default: COMPORT when it is
#                 free, else the first free number
#   QV_SIM_ARGS   more orvantis-sim options (e.g. "--capacity 1000 --fault unplug")
#   QV_SIM_SPEED  simulated seconds per real second in the window (default 30)
#   QV_NO_SIM=1   no simulator: talk to the instrument COMPORT names
#   QV_BUILD_DIR  build folder (default build)
set -euo pipefail
cd "$(dirname "$0")"
root=$PWD

./scripts/deps.sh

headless=0
[ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && headless=1

targets=(orvantis-sim quorvex-cli)
[ "$headless" = 0 ] && targets+=(quorvex)
build=${QV_BUILD_DIR:-build}
[ -f "$build/build.ninja" ] || cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target "${targets[@]}" >/dev/null
bin=$root/$build/bin
case $build in /*) bin=$build/bin ;; esac

work=${QUORVEX_DIR:-$root/$build/work}
mkdir -p "$work/ports"
work=$(cd "$work" && pwd)
# Settings go through the program's own store (quorvex-cli settings).
settings() { (cd "$work" && "$bin/quorvex-cli" settings "$@"); }

# A new working folder starts from the program's first values, as the
# application writes them at its first start.
settings init

sim_pid=
cleanup() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

user_port=$(settings get COMPORT | tr -dc '0-9' || true)
port=${user_port:-}

if [ "${QV_NO_SIM:-0}" != 1 ]; then
  # The simulator's number: the one asked for, the user's port when no
  # device link holds it, else the first free number.
  com=${QV_SIM_COM:-}
  if [ -z "$com" ]; then
    if [ -n "$user_port" ] && [ "$user_port" -ge 1 ] && [ "$user_port" -le 256 ] &&
       [ ! -e "$work/ports/COM$user_port" ]; then
      com=$user_port
    else
      com=1
      while [ -e "$work/ports/COM$com" ] && [ "$com" -lt 256 ]; do com=$((com + 1)); done
    fi
  fi
  speed=${QV_SIM_SPEED:-30}
  extra=()
  if [ "$headless" = 1 ]; then
    # Full speed and a smaller pack, so the run takes seconds rather than minutes.
    speed=0
    extra=(--gap-ms 1)
    case " ${QV_SIM_ARGS:-} " in *" --capacity"*) ;; *) extra+=(--capacity 1000) ;; esac
  fi
  # shellcheck disable=SC2086
  "$bin/orvantis-sim" --dir "$work" --com "$com" --speed "$speed" "${extra[@]}" ${QV_SIM_ARGS:-} >/dev/null &
  sim_pid=$!
  for _ in $(seq 100); do
    [ -L "$work/ports/COM$com" ] && break
    kill -0 "$sim_pid" 2>/dev/null || { echo "run.sh: orvantis-sim did not start" >&2; exit 1; }
    sleep 0.05
  done
  if [ -z "$user_port" ]; then
    settings set COMPORT "$com"
    port=$com
  elif [ "$user_port" != "$com" ]; then
    echo "run.sh: the simulator is on COM$com; COMPORT stays COM$user_port (通信ポートの設定 switches it)" >&2
  fi
  echo "run.sh: orvantis-sim on COM$com in $work" >&2
fi

if [ "$headless" = 0 ]; then
  # The application's working folder holds its settings and the ports/ links.
  (cd "$work" && "$bin/quorvex" "$@") || status=$?
  exit "${status:-0}"
fi

# No display: the same discharge without windows.
[ -n "$port" ] || { echo "run.sh: no COM port set" >&2; exit 1; }
out=$work/headless-run.qd1
echo "run.sh: no display; discharge on COM$port with quorvex-cli measure" >&2
status=0
(cd "$work" && "$bin/quorvex-cli" measure --port "$port" --out "$out") |
  awk 'BEGIN { print "  time[s]  current[A]  voltage[V]  capacity[mAh]  avg[V]" }
       { last = $0; if (($1 % 600) == 0 || NR == 1) printf "  %7d  %10s  %10s  %13s  %6s\n", $1, $2, $3, $4, $5 }
       END { if (last != "") { split(last, f, " "); printf "  %7d  %10s  %10s  %13s  %6s  (last)\n", f[1], f[2], f[3], f[4], f[5] } }' ||
  status=$?
[ -f "$out" ] || exit "${status:-2}"

json=$("$bin/quorvex-cli" dump "$out")
field() { printf '%s' "$json" | grep -o "\"$1\":[^,}]*" | head -1 | cut -d: -f2-; }
echo
echo "Results ($(field datetime | tr -d '"'))"
printf '  %-26s %s\n' \
  "discharge time [s]" "$(field discharge_time)" \
  "capacity [mAh]" "$(field capacity)" \
  "energy [mWh]" "$(field energy)" \
  "average voltage 1 [V]" "$(field avg_voltage1)" \
  "average voltage 2 [V]" "$(field avg_voltage2)" \
  "average voltage 3 [V]" "$(field avg_voltage3)" \
  "internal resistance [mOhm]" "$(field internal_resistance)" \
  "PIR" "$(field pir)"
echo "  saved as $out"
exit "$status"

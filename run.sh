#!/usr/bin/env bash
# Builds what is missing and runs the program's main job: a discharge run in
# Quorvex beside the simulated ORVANTIS analyzer (orvantis-sim). Without a
# display the same run goes headless through `quorvex-cli measure`, and the
# results table is printed.
#
#   ./run.sh [FILE.qd1...]     arguments go to quorvex
#
# One station per working folder: when a Quorvex window already works in the
# folder, no simulator is started and nothing is changed; the window comes to
# the front and opens the files given (a headless run refuses instead). A
# second station runs beside it from another folder (QUORVEX_DIR).
#
# Environment:
#   QUORVEX_DIR   working folder (Dis.ini, tmpdata.bak, ports/); default build/work
#   QV_SIM_COM    COM number of the simulator; default: COMPORT when it is
#                 free, else the first free number
#   QV_SIM_ARGS   more orvantis-sim options (e.g. "--capacity 1000 --fault unplug")
#   QV_SIM_SPEED  simulated seconds per real second in the window (default 6)
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

# A window that works in this folder already keeps it: its settings, its
# port and its simulator stay as they are.
if running=$(cd "$work" && "$bin/quorvex-cli" station); then
  if [ "$headless" = 1 ]; then
    echo "run.sh: $running; end it or choose another folder (QUORVEX_DIR)" >&2
    exit 1
  fi
  echo "run.sh: $running; its window comes to the front" >&2
  exec "$bin/quorvex" --dir "$work" "$@"
fi

# A new working folder starts from the program's first values, as the
# application writes them at its first start, with the inputs and graph range
# of a typical racing pack: six NiMH cells at 20 A (5 and 10 A for the
# internal resistance), down to 6.0 V, V1 at 300 s. A folder that has its own
# Dis.ini is never changed.
if [ ! -f "$work/Dis.ini" ]; then
  settings init
  for kv in DATA_DEF_DISA=20.0 DATA_DEF_DISB=5.0 DATA_DEF_DISC=10.0 DATA_DEF_CELL=6 \
            DATA_DEF_CUTV=6.0 DATA_DEF_APO1=300 \
            GRAPH_MAXV=9.0 GRAPH_MINV=5.0 GRAPH_GAPY=0.5 GRAPH_GAPX=1 GRAPH_GRID=1; do
    settings set "${kv%%=*}" "${kv#*=}"
  done
fi

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
  # The simulated pack: 4000 mAh racing cells of 4 mOhm each; at 20 A the
  # run reaches 6.0 V after about eleven simulated minutes, some two minutes
  # of real time at the default pace.
  speed=${QV_SIM_SPEED:-6}
  extra=()
  case " ${QV_SIM_ARGS:-} " in *" --capacity"*) ;; *) extra+=(--capacity 4000) ;; esac
  case " ${QV_SIM_ARGS:-} " in *" --resistance"*) ;; *) extra+=(--resistance 4) ;; esac
  if [ "$headless" = 1 ]; then
    # The same pack at full speed: the run takes seconds.
    speed=0
    extra+=(--gap-ms 1)
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
  (cd "$work" && "$bin/quorvex" --dir "$work" "$@") || status=$?
  exit "${status:-0}"
fi

# No display: the same discharge without windows.
[ -n "$port" ] || { echo "run.sh: no COM port set" >&2; exit 1; }
out=$work/headless-run.qd1
echo "run.sh: no display; discharge on COM$port with quorvex-cli measure" >&2
status=0
points=$(mktemp)
trap 'rm -f "$points"; cleanup' EXIT
(cd "$work" && "$bin/quorvex-cli" measure --port "$port" --out "$out") | tee "$points" |
  awk 'BEGIN { print "  time[s]  current[A]  voltage[V]  capacity[mAh]  avg[V]" }
       { last = $0; if (($1 % 60) == 0 || NR == 1) printf "  %7d  %10s  %10s  %13s  %6s\n", $1, $2, $3, $4, $5 }
       END { if (last != "") { split(last, f, " "); printf "  %7d  %10s  %10s  %13s  %6s  (last)\n", f[1], f[2], f[3], f[4], f[5] } }' ||
  status=$?
[ -f "$out" ] || exit "${status:-2}"
last_voltage=$(tail -n1 "$points" | awk '{ print $3 }')

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
end_voltage=$(field end_voltage)
ended=$(awk -v v="$last_voltage" -v e="$end_voltage" -v t="$(field discharge_time)" 'BEGIN {
  if (v != "" && v + 0 <= e + 0) print "at the end voltage (" v " V <= " e " V)"
  else if (t + 0 >= 9999) print "at the 9999 s limit (" v " V)"
  else print "early (" v " V)" }')
printf '  %-26s %s\n' "run ended" "$ended"
echo "  saved as $out"
exit "$status"

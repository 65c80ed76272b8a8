#!/usr/bin/env bash
# Measures the Pyxtune window on the simulated cards under a virtual display with a window
# manager (openbox) and a notification area (trayer), as on a user's desktop:
#   - time from the program's start to the window's first paint,
#   - idle CPU use over a period with the window shown, with it hidden in the tray, and with the
#     Monitor view open beside it (on two simulated cards under a changing load),
#   - peak resident memory.
# Usage: scripts/bench-window.sh [path/to/pyxtune] [idle seconds, default 60]
# The program is copied with its fonts to a scratch folder first, so its settings files and its
# single-instance lock stay out of the build and away from a copy the user may be running.
set -euo pipefail
cd "$(dirname "$0")/.."
program=${1:-build/release/bin/pyxtune}
idle=${2:-60}
[ -x "$program" ] || { echo "no program at $program (build it first: cmake --build --preset release)" >&2; exit 2; }
for tool in Xvfb openbox trayer xdotool; do
  command -v $tool >/dev/null || { echo "$tool is needed (apt-get install xvfb openbox trayer)" >&2; exit 2; }
done

work=$(mktemp -d)
xvfb_pid=""
desk_pids=""
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$desk_pids" ] && kill $desk_pids 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
bin=$(dirname "$program")
cp "$program" "$work/pyxtune"
cp "$bin"/*.ttf "$work/" 2>/dev/null || true
mkdir -m 700 "$work/runtime"

display=":$(( (RANDOM % 400) + 100 ))"
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
sleep 1
DISPLAY=$display openbox >/dev/null 2>&1 &
desk_pids="$!"
DISPLAY=$display trayer --edge bottom --align right --widthtype request >/dev/null 2>&1 &
desk_pids="$desk_pids $!"
sleep 1

ticks=$(getconf CLK_TCK)
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }

# One run: start, wait for the first paint (shown) or for the start-up to settle (hidden),
# then measure CPU over the idle period. Prints: first-paint-ms cpu-percent peak-kB
run_once() {
  local mode=$1 log="$work/run-$1.log" start_ns stamp first cpu0 cpu1 hwm scenario=""
  [ "$mode" = "Monitor" ] && scenario="$PWD/sim/scenarios/two-cards-under-load.json"
  start_ns=$(date +%s%N)
  DISPLAY=$display XDG_RUNTIME_DIR="$work/runtime" PYXTUNE_GPU_BACKEND=sim PYXTUNE_FIRST_PAINT_STAMP=1 \
    PYXTUNE_SIM_SCENARIO="$scenario" "$work/pyxtune" "$([ "$mode" = "Monitor" ] && echo Normal || echo "$mode")" \
    2>"$log" >/dev/null &
  app_pid=$!
  first="-"
  for i in $(seq 1 200); do
    stamp=$( (grep -ao 'pyxtune: first paint at [0-9]*' "$log" || true) | head -1 | awk '{print $5}')
    if [ -n "$stamp" ]; then first=$(( (stamp - start_ns) / 1000000 )); break; fi
    [ "$mode" = "SysTray" ] && [ "$i" -ge 30 ] && break
    sleep 0.1
  done
  if [ "$mode" = "Monitor" ]; then
    # The window menu's "Monitor..." (past About and Quit), then the view on its own.
    local window
    window=$(DISPLAY=$display xdotool search --onlyvisible --name '^PYXTUNE$' | head -1)
    DISPLAY=$display xdotool mousemove --window "$window" 300 60 click 3 sleep 0.5 key Up Up Up Return
    sleep 1
    DISPLAY=$display xdotool search --onlyvisible --name '^Monitor$' >/dev/null || { echo "no Monitor view" >&2; exit 1; }
  fi
  sleep 2
  cpu0=$(cpu_ticks "$app_pid")
  sleep "$idle"
  cpu1=$(cpu_ticks "$app_pid")
  hwm=$(awk '/VmHWM/ {print $2}' "/proc/$app_pid/status")
  kill "$app_pid"; wait "$app_pid" 2>/dev/null || true
  app_pid=""
  awk -v f="$first" -v d=$((cpu1 - cpu0)) -v t="$ticks" -v s="$idle" -v m="$hwm" \
    'BEGIN { printf "%s %.2f %d\n", f, 100.0 * d / t / s, m }'
}

read -r first shown_cpu shown_kb < <(run_once Normal)
read -r _ hidden_cpu hidden_kb < <(run_once SysTray)
read -r _ monitor_cpu monitor_kb < <(run_once Monitor)
peak_kb=$(( shown_kb > hidden_kb ? shown_kb : hidden_kb ))
peak_kb=$(( monitor_kb > peak_kb ? monitor_kb : peak_kb ))
echo "program:               $program (simulated GPU, virtual display $display)"
echo "time to first paint:   ${first} ms"
echo "idle CPU, shown:       ${shown_cpu} % of one core over ${idle} s"
echo "idle CPU, hidden:      ${hidden_cpu} % of one core over ${idle} s"
echo "idle CPU, Monitor view: ${monitor_cpu} % of one core over ${idle} s"
echo "peak resident memory:  $(( peak_kb / 1024 )) MB (${peak_kb} kB)"

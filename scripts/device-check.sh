#!/usr/bin/env bash
# A check for a machine with an NVIDIA GPU: builds the core and pyxtunectl (release, no Qt),
# then runs only commands that read: list, monitor --count 5 --json, vf --json and
# doctor --json, and prints a short report (card, driver, back-end, who answers what, the
# monitoring tick). No tuning, fan or lighting command is run. The program's start-up still
# probes each card's bus for fan chips, as every start of the window does; the report counts
# every change the trace recorded, so a run that touched anything says so.
#   scripts/device-check.sh [OUTDIR]      (default build/device-check/report)
# At most about 5 minutes on a 16-core machine; each command is cut off after 60 s.
set -uo pipefail
cd "$(dirname "$0")/.."
build=build/device-check
out=${1:-$build/report}
rm -rf "$out"
mkdir -p "$out"
started=$SECONDS

echo "== building pyxtunectl (release, no Qt) in $build"
if ! { cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPYX_BUILD_GUI=OFF \
         -DPYX_BUILD_TESTS=OFF -DPYX_BUILD_BENCH=OFF &&
       timeout 240 cmake --build "$build" --target pyxtunectl -j "$(nproc)"; } > "$out/build.log" 2>&1; then
  tail -n 20 "$out/build.log"
  echo "device check: the build failed (whole log in $out/build.log)"
  exit 2
fi
ctl=$build/bin/pyxtunectl

# Every bus transaction and every change is traced; nothing else may reach the card.
export PYXTUNE_TRACE=$PWD/$out/trace.txt
unset PYXTUNE_GPU_BACKEND PYXTUNE_SIM_SCENARIO PYXTUNE_SIM_STATE
run() {
  local name=$1
  shift
  timeout 60 "$ctl" "$@" > "$out/$name.out" 2> "$out/$name.err"
  echo $? > "$out/$name.rc"
}
run list list
run monitor monitor --count 5 --json
run vf vf --json
run doctor doctor --json

echo
echo "== device check report ($((SECONDS - started)) s)"
if [ -r /proc/driver/nvidia/version ]; then
  echo "driver: $(head -n 1 /proc/driver/nvidia/version)"
else
  echo "driver: no NVIDIA kernel driver loaded (/proc/driver/nvidia/version is absent)"
fi
if command -v lspci > /dev/null; then
  lspci -nn -d 10de: 2> /dev/null | sed 's/^/card: /'
fi
for name in list monitor vf doctor; do
  echo "pyxtunectl $name: exit $(cat "$out/$name.rc")$(head -c 300 "$out/$name.err" | tr '\n' ' ' | sed 's/^./; &/')"
done
sed -n '1,12p' "$out/list.out" | sed 's/^/  /'
echo "monitor readings: $(grep -c '"gpu"' "$out/monitor.out" || true)"
if command -v python3 > /dev/null && [ -s "$out/doctor.out" ]; then
  python3 - "$out/doctor.out" <<'PY'
import json, sys
from collections import Counter
try:
    report = json.load(open(sys.argv[1]))
except Exception as error:
    print("doctor: unreadable JSON:", error)
    sys.exit(0)
print("back-end:", report.get("backend"), "-", report.get("description"))
for lib in report.get("libraries", []):
    print("library:", lib.get("message"))
for gpu in report.get("gpus", []):
    answered = Counter(i["answeredBy"] + " / " + i["how"] for i in gpu["ids"])
    print("GPU %d at %s: monitoring tick %.1f us (median of 20)" %
          (gpu["gpu"], gpu.get("pciAddress", "?"), gpu["monitoringTickMedianMicroseconds"]))
    for item, count in sorted(answered.items()):
        print("  %2d ids: %s" % (count, item))
    for problem in gpu.get("i2cProblems", []):
        print("  I2C:", problem)
    if gpu.get("nvmlProblem"):
        print("  NVML:", gpu["nvmlProblem"])
PY
else
  head -c 2000 "$out/doctor.out"
fi
changes=0
if [ -f "$out/trace.txt" ]; then
  changes=$(grep -cE ' (I2CWrite|I2CWriteEx|SetPstates20|PowerPoliciesSetStatus|ThermalPoliciesSetStatus|SetCoolerLevels|RestoreCoolerSettings|FanCoolersSetControl|ClkVfPointsSetControl|LightingTick) ' "$out/trace.txt" || true)
fi
echo "changes recorded by the trace: $changes$([ "$changes" != 0 ] && echo " (see $out/trace.txt: start-up's fan-chip probe)")"
echo "outputs: $out"

#!/usr/bin/env bash
# Windows cross-built with MinGW-w64 and tested under Wine, in a private Wine prefix made here
# and thrown away at the end, so that no other copy of the program on this machine takes part:
#   0. Qt for MinGW-w64, built once per machine (scripts/build-qt-windows.sh);
#   1. the test programs (.exe) through CTest, the UI tests on Qt's offscreen platform,
#      Linux-only tests left out (tests/CMakeLists.txt lists them with their reasons);
#   2. the programs themselves: where pyxtunectl.exe takes the GPU library from, which copies
#      it never loads, the simulator when no driver is installed, ReadMem.exe;
#   3. the window, on a display of its own, driven by real input (scripts/check-windows-window.sh);
#   4. the installer: made, installed, run and uninstalled (scripts/check-windows-installer.sh).
# Packages: scripts/install-deps.sh. Exits non-zero when anything failed.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

seconds() { date +%s; }
t0=$(seconds)
echo "-- Qt for MinGW-w64"
PYXTUNE_QT_WINDOWS=$(bash scripts/build-qt-windows.sh)
export PYXTUNE_QT_WINDOWS
tq=$(seconds)
echo "-- building the windows preset"
cmake --preset windows >/dev/null
cmake --build --preset windows
t1=$(seconds)

work=$(mktemp -d /tmp/pyxtune-wine.XXXXXX)
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY PYXTUNE_GPU_BACKEND PYXTUNE_SIM_SCENARIO PYXTUNE_SIM_STATE PYXTUNE_TRACE
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

echo "-- making a Wine prefix (Windows 10) in $WINEPREFIX"
wineboot -i >/dev/null 2>&1
wine winecfg -v win10 >/dev/null 2>&1
# Every Windows has Arial and Wine has none: the prefix takes Liberation Sans, drawn to the same
# measures, for it, as fontconfig does on Linux.
wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Arial /d 'Liberation Sans' /f >/dev/null 2>&1
wineserver -w
# A wineserver and Wine's own services started by a test would inherit that test's output
# pipe and hold it open while later tests keep them alive, so CTest would wait for the pipe
# until the test's timeout although the test had ended. Both are started here instead, on
# /dev/null, and kept until the end (the cleanup ends them).
wineserver -p </dev/null >/dev/null 2>&1
wine cmd /c exit </dev/null >/dev/null 2>&1
t2=$(seconds)

echo "-- the core's tests under Wine"
ctest_status=0
ctest --preset windows || ctest_status=$?
t3=$(seconds)

echo "-- the programs under Wine"
failures=0
check() {
  local what=$1
  shift
  if "$@"; then
    echo "ok    $what"
  else
    echo "FAIL  $what"
    failures=$((failures + 1))
  fi
}

bin=$root/build/windows/bin
library=$root/build/windows/tests/gpu/sim_nvapi/nvapi64.dll
system32=$WINEPREFIX/drive_c/windows/system32
app="$work/Pyx tune"      # the program's folder, with a blank in it
here=$work/current        # the current directory the program is started in
onpath=$work/on-path      # a folder on the program's PATH
mkdir -p "$app" "$here" "$onpath"
cp "$bin/pyxtunectl.exe" "$bin/ReadMem.exe" "$app/"
rm -f "$system32"/nvapi64.dll*

# Copies that must never be loaded: beside the program, in the current directory, on PATH.
planted=("$app/nvapi64.dll" "$here/nvapi64.dll" "$onpath/nvapi64.dll")
for copy in "${planted[@]}"; do cp "$library" "$copy"; done
none_loaded() {
  local copy
  for copy in "${planted[@]}"; do
    if [ -e "$copy.loaded" ]; then
      echo "      loaded: $copy"
      return 1
    fi
  done
}

# pyxtunectl.exe ARGS...: sets out, err and rc.
ctl() {
  rc=0
  out=$(cd "$here" && WINEPATH="$(winepath -w "$onpath")" wine "$app/pyxtunectl.exe" "$@" 2>"$work/err") || rc=$?
  err=$(cat "$work/err")
}
says() { [[ "$1" == *"$2"* ]] || { echo "      got: $1"; return 1; }; }

ctl list
check "no driver installed: the simulator answers" test "$rc" -eq 0
check "  and says so on its first line" says "$(head -n1 <<<"$out")" "Back-end: sim - SIMULATED"

PYXTUNE_GPU_BACKEND=nvapi ctl list
check "nvapi asked for, none installed: a hardware failure" test "$rc" -eq 1
check "  that names the missing library" says "$err" "nvapi64.dll: not installed"
check "  and no planted copy was loaded" none_loaded

cp "$library" "$system32/nvapi64.dll"
PYXTUNE_GPU_BACKEND=nvapi ctl list
check "nvapi64.dll in system32: loaded from there" says "$out" 'Back-end: nvapi (C:\windows\system32\nvapi64.dll)'
check "  and its card listed" says "$out" "GPU 0  device 1b81  subsystem a0141b4c  back-end nvapi"
check "  exit 0" test "$rc" -eq 0
check "  the system32 copy's own marker" test -e "$system32/nvapi64.dll.loaded"
check "  and no planted copy was loaded" none_loaded

ctl list
check "no back-end chosen, a driver installed: the driver answers" says "$(head -n1 <<<"$out")" "Back-end: nvapi"

printf 'MZ-broken' >"$system32/nvapi64.dll"
ctl list
check "an installed library that fails is reported, not replaced" test "$rc" -eq 1
check "  with where and why" says "$err" \
  'nvapi64.dll: found but refused: C:\windows\system32\nvapi64.dll cannot be loaded (error 193'
check "  and no planted copy was loaded" none_loaded

# The test library's NvAPI_Initialize answers what PYX_TEST_NVAPI_INITIALIZE says.
cp "$library" "$system32/nvapi64.dll"
PYX_TEST_NVAPI_INITIALIZE=-6 ctl list
check "an installed driver that does not start: what it answered" \
  says "$err" "nvapi64.dll: found, but NvAPI_Initialize returned -6 (no NVIDIA GPU found)"
check "  exit 1" test "$rc" -eq 1
rm -f "$system32"/nvapi64.dll*

# ReadMem.exe: the simulator's bytes only when asked for; without a card no dump at all.
dump=$work/readmem
mkdir -p "$dump"
cat >"$dump/scenario.json" <<'JSON'
{"cards": [{"deviceId": "0x1B8110DE", "subSystemId": "0x11223344", "i2c": [], "bios": {"hex": "55 AA 01", "size": 4}}]}
JSON
rc=0
(cd "$dump" && PYXTUNE_SIM_SCENARIO="$(winepath -w "$dump/scenario.json")" wine "$app/ReadMem.exe" --backend=sim) || rc=$?
check "ReadMem.exe --backend=sim: exit 0" test "$rc" -eq 0
check "  PMOut holds the scenario's BIOS bytes" test "$(od -An -tx1 "$dump/PMOut" 2>/dev/null | tr -d ' \n')" = "55aa0100"
rm -f "$dump/PMOut"
rc=0
(cd "$dump" && wine "$app/ReadMem.exe") || rc=$?
check "ReadMem.exe without a card: exit non-zero" test "$rc" -ne 0
check "  and no PMOut" test ! -e "$dump/PMOut"
t4=$(seconds)

echo "-- the window under Wine"
window_status=0
bash scripts/check-windows-window.sh "$bin" "$root/build/windows/resources/skin/130.png" \
  "$root/build/windows/artifacts" || window_status=$?
t5=$(seconds)
echo "-- the installer under Wine"
installer_status=0
bash scripts/check-windows-installer.sh || installer_status=$?
t6=$(seconds)

echo "-- Windows: Qt $((tq - t0)) s, build $((t1 - tq)) s, Wine prefix $((t2 - t1)) s, tests $((t3 - t2)) s, programs $((t4 - t3)) s,"
echo "   window $((t5 - t4)) s, installer $((t6 - t5)) s"
echo "   Not run under Wine (Wine 8 lacks it): the scheduled task's log-on trigger, highest-rights"
echo "   principal and command are stored empty by Wine's task scheduler, so only the task's"
echo "   creation and removal are checked; Wine lists no display adapters, so the driver-store"
echo "   lookup is checked with an adapter the test describes; UAC does not exist under Wine."
if [ "$ctest_status" -ne 0 ]; then
  # Each Windows test program is one CTest test, so CTest names only the program: the cases
  # that failed and their first lines come here, at the end, where a shortened log keeps them.
  echo "-- Windows: the test cases that failed (whole output: build/windows/Testing/Temporary/LastTest.log)"
  awk '/: Failure$/ { left = 4 } /^\[  FAILED  \] [A-Za-z]/ { print; left = 0; next } left > 0 { print; left-- }' \
    build/windows/Testing/Temporary/LastTest.log 2>/dev/null | head -n 60 || true
fi
if [ "$ctest_status" -ne 0 ] || [ "$failures" -ne 0 ] || [ "$window_status" -ne 0 ] || [ "$installer_status" -ne 0 ]; then
  echo "-- Windows: FAILED (tests status $ctest_status, $failures program check(s) failed, window $window_status, installer $installer_status)"
  exit 1
fi
echo "-- Windows: all passed"

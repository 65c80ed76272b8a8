#!/usr/bin/env bash
# The window on Windows: pyxtune.exe cross-built with MinGW-w64 and run under Wine on a virtual
# display (Xvfb, openbox and a notification area), on the simulated card, driven by real input:
#   1. it starts and paints with the skin: a screenshot of the same size as the skin's main
#      image, whose commonest colours are the image's own (kept as ARTIFACTS/window-wine.png);
#   2. its icon docks in the notification area;
#   3. Custom, a drag of the CORE slider, Apply, the overclocking warning and Keep reach the
#      simulated card (the trace) and are saved beside the program;
#   4. Close hides it to the notification area; a second start brings it back and ends;
#   5. "Quit" from the window menu ends it with status 0.
#   check-windows-window.sh BIN SKIN_IMAGE ARTIFACTS
# BIN: the build's bin/ folder (programs, Qt's libraries and plugins, fonts); SKIN_IMAGE: the
# skin's image of the main window. Run by scripts/test-windows.sh inside its Wine prefix
# (WINEPREFIX exported); starts a display and Wine's own programs of its own.
set -euo pipefail
bin=$1 skin=$2 artifacts=$3
mkdir -p "$artifacts"
work=$(mktemp -d /tmp/pyxtune-wine-window.XXXXXX)
xvfb_pid="" wm_pid="" tray_pid="" app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  wineserver -k >/dev/null 2>&1 || true
  for pid in "$tray_pid" "$wm_pid" "$xvfb_pid"; do [ -n "$pid" ] && kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'echo "FAIL  line $LINENO: $BASH_COMMAND"' ERR
# A failure leaves the screen as it was beside the screenshot, for whoever reads the log.
fail() {
  echo "FAIL  $*"
  [ -n "${DISPLAY:-}" ] && import -window root "$artifacts/failure-screen.png" 2>/dev/null || true
  exit 1
}
ok() { echo "ok    $*"; }
. "$(dirname "$0")/virtual-display.sh"

start_virtual_display 100
trayer --edge bottom --align right --widthtype request --height 24 >/dev/null 2>&1 &
tray_pid=$!
sleep 1
# The panel of trayer's windows is where icons dock.
tray=""
for _ in $(seq 1 50); do
  tray=$(xwininfo -root -tree | sed -n 's/^ *\(0x[0-9a-f]*\) "panel": ("panel" "trayer").*/\1/p' | head -1)
  [ -n "$tray" ] && break
  sleep 0.1
done
[ -n "$tray" ] || fail "no notification area (trayer) came up"
# Wine's own programs (the desktop and its notification area live in explorer.exe) start
# again on this display: those of the core's tests had none.
wineserver -k >/dev/null 2>&1 || true
wineserver -w >/dev/null 2>&1 || true
wineserver -p </dev/null >/dev/null 2>&1
wine cmd /c exit </dev/null >/dev/null 2>&1

app=$work/Pyxtune
mkdir -p "$app"
cp -r "$bin"/pyxtune.exe "$bin"/*.dll "$bin"/*.ttf "$bin"/platforms "$bin"/styles "$app/"
rm -f "$app"/platforms/qoffscreen.dll "$app"/Qt6Test.dll
trace=$work/trace.txt
children() { xwininfo -children -id "$tray" | sed -n 's/^ *\([0-9]*\) child.*/\1/p'; }
icons_before=$(children)
start_window() {
  PYXTUNE_GPU_BACKEND=sim PYXTUNE_TRACE="$(winepath -w "$trace")" PYXTUNE_FIRST_PAINT_STAMP=1 \
    wine "$app/pyxtune.exe" "$@" >"$work/out.txt" 2>"$work/err.txt" &
  app_pid=$!
}
start_window
window=$(shown_window '^PYXTUNE$' 300)
[ -n "$window" ] || fail "no window titled PYXTUNE appeared (stderr: $(tail -n 5 "$work/err.txt"))"
for _ in $(seq 1 100); do grep -q 'first paint at' "$work/err.txt" && break; sleep 0.1; done
grep -q 'first paint at' "$work/err.txt" || fail "the window never painted"
sleep 2
xdotool windowactivate --sync "$window" >/dev/null 2>&1 || true
sleep 0.5

# 1. The skin: the window is the main image's size, and its commonest colours are the image's.
top_colours() {
  convert "$1" -alpha off -depth 8 -format %c histogram:info:- | sort -rn | sed -n "1,$2p" | grep -o '#[0-9A-F]\{6\}'
}
# The window's picture now, saved as $1; fails, saying why, unless it shows the skin.
painted_with_skin() {
  import -window "$window" -depth 8 "$1"
  local size skin_size shown missing="" colour
  size=$(identify -format '%wx%h' "$1")
  skin_size=$(identify -format '%wx%h' "$skin")
  [ "$size" = "$skin_size" ] || fail "the window is $size, its skin $skin_size"
  shown=$(top_colours "$1" 8)
  for colour in $(top_colours "$skin" 3); do
    grep -qx "$colour" <<<"$shown" || missing+=" $colour"
  done
  [ -z "$missing" ] || fail "the window lacks the skin's commonest colours:$missing"
}
painted_with_skin "$artifacts/window-wine.png"
ok "the window paints with its skin"

# 2. The notification area holds one more icon.
for _ in $(seq 1 50); do [ "$(children)" -gt "$icons_before" ] && break; sleep 0.1; done
[ "$(children)" -gt "$icons_before" ] || fail "no icon docked in the notification area"
ok "its icon is in the notification area"

# 3. Custom, the CORE slider dragged up, Apply, the warning's OK and Keep.
at() { xdotool mousemove --window "$window" "$@"; }
custom_core_dragged_up "$window"
before=$(wc -l < "$trace")
at 440 787 click 1; sleep 1.5
xdotool key Return; sleep 1.5   # the overclocking warning: OK
xdotool key alt+k; sleep 1.5    # the keep box: Keep
changes=$(tail -n +"$((before + 1))" "$trace" | grep -E ' (SetPstates20|ClkVfPointsSetControl) gpu=0 ' || true)
echo "$changes" | grep -Eq '(domain=0 deltaKHz|offsetKHz)=[1-9][0-9]* status=0' ||
  fail "the dragged CORE value did not reach the card: $changes"
[ -s "$app/simulated/Preformance.txt" ] || fail "a kept Apply was not saved beside the program"
ok "Custom Apply by mouse and keyboard reached the card and was kept"

# 4. Close hides the window to the notification area; a second start brings it back and ends.
at 709 27 click 1
for _ in $(seq 1 50); do [ -z "$(shown_window '^PYXTUNE$' 1)" ] && break; sleep 0.1; done
[ -z "$(shown_window '^PYXTUNE$' 1)" ] || fail "Close left the window shown"
kill -0 "$app_pid" || fail "the program ended on Close"
first_pid=$app_pid
status=0
timeout 60 env PYXTUNE_GPU_BACKEND=sim wine "$app/pyxtune.exe" >"$work/second.txt" 2>&1 || status=$?
[ "$status" -eq 0 ] || fail "the second start ended with status $status"
[ -n "$(shown_window '^PYXTUNE$' 100)" ] || fail "a second start did not bring the window back"
kill -0 "$first_pid" || fail "the first copy ended on a second start"
sleep 1
painted_with_skin "$work/brought-back.png"
ok "Close hid it; a second start brought it back and ended"

# 5. "Quit", the window menu's last item.
xdotool windowactivate --sync "$window" >/dev/null 2>&1 || true
at 300 60 click 3; sleep 0.7
xdotool key Up Return
for _ in $(seq 1 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app_pid" 2>/dev/null && fail "Quit did not end the program"
status=0
wait "$app_pid" || status=$?
app_pid=""
[ "$status" -eq 0 ] || fail "the program ended with status $status"
ok "Quit ended it with status 0"

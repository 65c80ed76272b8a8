#!/usr/bin/env bash
# Runs the README's run command as a user would on a machine without a display, then drives
# the window it built under a virtual display with real input events:
#   1. `bash scripts/run.sh` without a display: installs, builds the release the user gets
#      (no compiler warning allowed in our code, although the user's build would go on) and
#      lists the cards;
#   2. the window under Xvfb with a plain window manager and no notification area, on the
#      simulated card: it starts and paints; a colour swatch shows in the preview; Custom, a drag of the CORE slider, Apply and the
#      overclocking warning reach the card (seen in the trace), the keep box's default takes it
#      back, a second Apply kept is saved; the fan curve editor opens from Custom, a point
#      dragged there is applied, kept and saved; Close minimises it (there is no tray);
#      a second start brings it back and ends; "Quit" from the window menu ends it with
#      status 0; on two cards, the Monitor view opens from the window menu and follows the GPU
#      and the span picked by the keyboard;
#   3. pyxtunectl list.
# With PYX_CHECK_SHOTS set to a folder, screenshots of the fan curve editor and the Monitor view
# are left there.
set -euo pipefail
cd "$(dirname "$0")/.."

log=$(mktemp)
work=$(mktemp -d)
xvfb_pid=""
wm_pid=""
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work" "$log"
}
trap cleanup EXIT
fail() { echo "check-run: $*" >&2; exit 1; }
. scripts/virtual-display.sh

echo "== the README's run command, without a display =="
start=$(date +%s)
(unset DISPLAY WAYLAND_DISPLAY; bash scripts/run.sh) 2>&1 | tee "$log"
echo "run command: $(( $(date +%s) - start )) s"
grep -q '^GPU 0 ' "$log" || fail "the run command did not end by listing the cards"
# Any compiler or linker warning: the release build compiles only this project's files, and a
# warning raised inside a system header (inlined from ours) names that header on its own line.
if grep -E ': warning: ' "$log"; then
  fail "the release build warns (see above)"
fi

echo "== the window under a virtual display =="
bin=build/release/bin
# A copy of its own, so its settings and lock stay out of the build folder.
cp "$bin"/pyxtune "$bin"/ReadMem "$bin"/*.ttf "$work/"
mkdir -m 700 "$work/runtime"
start_virtual_display 500

# The copies started here share a lock of their own, so a window running elsewhere on the
# machine cannot take their start, and the installed program's lock is left as it is. Root's
# lock lives in /run/pyxtune: they get a mount namespace with a fresh file system there. Another
# user's lock lives in the runtime folder given below; a network namespace keeps the two
# windows' other sockets apart as well, inside a user namespace that maps the user to itself.
if [ "$(id -u)" = 0 ] && unshare --net --mount true 2>/dev/null; then
  mkdir -p /run/pyxtune
  own_lock=(unshare --net --mount --propagation private
            sh -c 'mount -t tmpfs -o mode=0755 pyxtune /run/pyxtune && exec "$0" "$@"')
  join_lock=(-n -m)
elif unshare --map-current-user --net true 2>/dev/null; then
  own_lock=(unshare --map-current-user --net); join_lock=(-U -n --preserve-credentials)
else fail "cannot give the window a lock of its own (no namespace can be made here)"; fi

trace="$work/trace.txt"
XDG_RUNTIME_DIR="$work/runtime" PYXTUNE_GPU_BACKEND=sim PYXTUNE_TRACE="$trace" PYXTUNE_FIRST_PAINT_STAMP=1 \
  "${own_lock[@]}" "$work/pyxtune" >"$work/out.txt" 2>"$work/err.txt" &
app_pid=$!

window=""
for _ in $(seq 1 100); do
  window=$(xdotool search --onlyvisible --name '^PYXTUNE$' 2>/dev/null | head -1 || true)
  [ -n "$window" ] && grep -q 'first paint at' "$work/err.txt" && break
  sleep 0.1
done
[ -n "$window" ] || fail "no window titled PYXTUNE appeared"
grep -q 'first paint at' "$work/err.txt" || fail "the window never painted"
echo "window $window is up and painted"
# Let the start-up's own queued clicks and the first readouts run, and give it the focus.
sleep 2
xdotool windowactivate --sync "$window" || true
sleep 0.5

at() { xdotool mousemove --window "$window" "$@"; }
# A swatch shows its colour at once: the fifth (green) turns the preview square green.
at 517 533 click 1; sleep 0.5
preview=$(import -window "$window" -crop 1x1+438+529 +repage -depth 8 txt:- | grep -o '#[0-9A-F]\{6\}' | head -1)
[ "$preview" = "#00FF00" ] || fail "a click on the green swatch left the colour preview at ${preview:-unread}"
echo "the green swatch shows green in the preview"
custom_core_dragged_up "$window"
before=$(wc -l < "$trace")
at 440 787 click 1; sleep 1
xdotool key Return; sleep 1   # the overclocking warning: OK
xdotool key Return; sleep 1   # the keep box: its default button, Revert
changes=$(tail -n +"$((before + 1))" "$trace" | grep -E ' (SetPstates20|ClkVfPointsSetControl) gpu=0 ' || true)
echo "$changes"
echo "$changes" | grep -Eq '(domain=0 deltaKHz|offsetKHz)=[1-9][0-9]* status=0' \
  || fail "the dragged CORE value did not reach the card"
echo "$changes" | grep ' domain=0 ' | tail -1 | grep -q 'deltaKHz=0 status=0' \
  || fail "Revert did not take the CORE offset back"
settings="$work/simulated/Preformance.txt"
[ ! -e "$settings" ] || fail "a reverted Apply was saved for the next start"
# Once more, kept: what is kept is what the next start puts back.
at 440 787 click 1; sleep 1
xdotool key Return; sleep 1   # the overclocking warning: OK
xdotool key alt+k; sleep 1    # the keep box: Keep
[ -s "$settings" ] || fail "a kept Apply was not saved for the next start"
echo "Revert took the tuning back; Keep saved it"

# Custom's fan curve: the editor its button opens, a point dragged with the mouse, OK, and an
# Apply kept. The editor's plot lies 12 px inside it, at 5 px a degree from 20 C and 2 px a
# percent; the default curve's 60 C, 50 % point is at 12 + 48 + 40 * 5, 12 + 212 - 50 * 2.
at 358 289 click 1
editor=$(shown_window '^Fan curve$' 50)
[ -n "$editor" ] || fail "the curve button opened no fan curve editor"
sleep 0.5
in_editor() { xdotool mousemove --window "$editor" "$@"; }
# Up by 20 px: 10 % more at 60 C.
in_editor 260 124 mousedown 1 sleep 0.2 mousemove --window "$editor" 260 118 sleep 0.2 \
  mousemove --window "$editor" 260 104 sleep 0.2 mouseup 1
sleep 0.3
if [ -n "${PYX_CHECK_SHOTS:-}" ]; then
  mkdir -p "$PYX_CHECK_SHOTS"
  import -window root "$PYX_CHECK_SHOTS/fan-curve-editor.png"
fi
xdotool key Return; sleep 1   # the editor's default button, OK
if xdotool search --onlyvisible --name '^Fan curve$' >/dev/null 2>&1; then fail "OK left the fan curve editor open"; fi
at 440 787 click 1; sleep 1
xdotool key Return; sleep 1   # the overclocking warning: OK
xdotool key alt+k; sleep 1    # the keep box: Keep
saved=$(iconv -f UTF-16 -t UTF-8 "$settings" | tr -d '\r')
echo "$saved" | grep -Eq '^FanWorkMode=4$' || fail "the kept curve was not saved as the fan's mode: $(echo "$saved" | grep FanWorkMode)"
curve=$(echo "$saved" | sed -n 's/^FanCurve=//p' | head -1)
[ "$curve" = "40:30,50:35,60:60,70:75,80:100" ] || fail "the saved fan curve is '${curve}', not the one dragged"
echo "the dragged fan curve was applied, kept and saved: $curve"

# The face of the window moves it, as a title bar would: a click there must leave it where it
# is, a drag must move it by the drag, and a click after a drag must not move it again.
position() { xdotool getwindowgeometry "$window" | sed -n 's/.*Position: \([0-9-]*\),\([0-9-]*\).*/\1 \2/p'; }
read -r x0 y0 < <(position)
for _ in 1 2 3; do at 40 200 click 1; sleep 0.5; done
read -r x1 y1 < <(position)
[ "$x1 $y1" = "$x0 $y0" ] || fail "clicks on the window's face moved it from $x0,$y0 to $x1,$y1"
# Screen positions: the window moves under the pointer.
xdotool mousemove $((x0 + 40)) $((y0 + 200)) mousedown 1 sleep 0.2 mousemove $((x0 + 50)) $((y0 + 206)) sleep 0.2 \
  mousemove $((x0 + 70)) $((y0 + 220)) sleep 0.2 mouseup 1
sleep 0.5
read -r x2 y2 < <(position)
[ "$((x2 - x0)) $((y2 - y0))" = "30 20" ] || fail "a drag of 30,20 moved the window from $x0,$y0 to $x2,$y2"
at 40 200 click 1; sleep 0.5
read -r x3 y3 < <(position)
[ "$x3 $y3" = "$x2 $y2" ] || fail "a click after a drag moved the window from $x2,$y2 to $x3,$y3"
echo "the window stays put for clicks and follows a drag"

# Close: with no notification area the window goes to the task bar instead of vanishing.
at 709 27 click 1
# A loaded machine may take a while to map the change; a few seconds at most.
hidden() { xprop -id "$window" _NET_WM_STATE | grep -q _NET_WM_STATE_HIDDEN; }
for _ in $(seq 1 50); do hidden && break; sleep 0.1; done
hidden || fail "Close did not minimise the window"
kill -0 "$app_pid" || fail "the program ended on Close"

# A second start brings the first copy's window back from the task bar and ends.
XDG_RUNTIME_DIR="$work/runtime" PYXTUNE_GPU_BACKEND=sim \
  timeout 20 nsenter -t "$app_pid" "${join_lock[@]}" "$work/pyxtune" >"$work/second.txt" 2>&1 \
  || fail "the second start did not end cleanly"
grep -qx "Pyxtune is already running; its window was brought to the front." "$work/second.txt" ||
  fail "the second start did not say it handed over: $(cat "$work/second.txt")"
sleep 1
if xprop -id "$window" _NET_WM_STATE | grep -q _NET_WM_STATE_HIDDEN; then
  fail "a second start did not bring the window back"
fi
kill -0 "$app_pid" || fail "the first copy ended on a second start"

# "Quit" from the window menu (its last item).
at 300 60 click 3; sleep 0.5
xdotool key Up Return
for _ in $(seq 1 50); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$app_pid" 2>/dev/null; then fail "Quit did not end the program"; fi
status=0
wait "$app_pid" || status=$?
app_pid=""
[ "$status" -eq 0 ] || fail "the program ended with status $status"
echo "the window quit cleanly"

# The Monitor view on two simulated cards, from the window's menu (its third item from the end,
# past About and Quit): the next GPU and the hour picked by the keyboard each redraw it.
XDG_RUNTIME_DIR="$work/runtime" PYXTUNE_GPU_BACKEND=sim PYXTUNE_SIM_SCENARIO="$PWD/sim/scenarios/two-cards-under-load.json" \
  "${own_lock[@]}" "$work/pyxtune" >"$work/out2.txt" 2>"$work/err2.txt" &
app_pid=$!
window=$(shown_window '^PYXTUNE$' 100)
[ -n "$window" ] || fail "the window on two cards did not appear"
sleep 3   # a few seconds of history
xdotool windowactivate --sync "$window" || true
at 300 60 click 3; sleep 0.5
xdotool key Up Up Up Return
monitor=$(shown_window '^Monitor$' 50)
[ -n "$monitor" ] || fail "the window menu's Monitor... opened no Monitor view"
xdotool windowactivate --sync "$monitor" || true
sleep 1.5
# The graphs change every second on these cards; what only input changes is checked: the GPU
# box's text, and the time axis's oldest label ("-60 s" for the minute, "-60 min" for the hour).
shot() { import -window "$monitor" -depth 8 "$work/$1.png"; }
part() { convert "$work/$1.png" -crop "$2" +repage -depth 8 rgb:- | md5sum; }
gpu_box=60x18+50+13
time_label=60x14+28+531
shot monitor-gpu0
xdotool key Down; sleep 1.5
shot monitor-gpu1
[ "$(part monitor-gpu0 $gpu_box)" != "$(part monitor-gpu1 $gpu_box)" ] || fail "Down in the Monitor view did not show the next GPU"
[ "$(part monitor-gpu0 $time_label)" = "$(part monitor-gpu1 $time_label)" ] || fail "the time axis changed without a new span"
xdotool key Tab End; sleep 1.5
shot monitor-hour
[ "$(part monitor-gpu1 $time_label)" != "$(part monitor-hour $time_label)" ] || fail "End on the span did not show the last hour"
if [ -n "${PYX_CHECK_SHOTS:-}" ]; then cp "$work/monitor-gpu1.png" "$PYX_CHECK_SHOTS/monitor.png"; fi
echo "the Monitor view opened and followed the GPU and the span picked by the keyboard"
kill "$app_pid"; wait "$app_pid" 2>/dev/null || true
app_pid=""

echo "== pyxtunectl list =="
"$bin"/pyxtunectl list

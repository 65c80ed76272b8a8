# Shell functions of the checks that drive a window on a virtual display. Sourced.

# Starts Xvfb on a free-looking display from FIRST to FIRST+399, and openbox on it; sets
# xvfb_pid and wm_pid (for the caller's clean-up) and exports DISPLAY.
start_virtual_display() {
  local display=":$(( (RANDOM % 400) + $1 ))"
  Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=$display
  for _ in $(seq 1 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done
  openbox >/dev/null 2>&1 &
  wm_pid=$!
  sleep 1
}

# The id of the shown window whose title matches $1, waiting up to $2 tenths of a second;
# empty when none came.
shown_window() {
  local id=""
  for _ in $(seq 1 "$2"); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1 || true)
    [ -n "$id" ] && break
    sleep 0.1
  done
  echo "$id"
}

# In the main window $1: Custom, then the CORE slider's thumb (at its middle for an offset of
# 0) dragged up a little, as a user's mouse does it.
custom_core_dragged_up() {
  xdotool mousemove --window "$1" 612 612 click 1; sleep 0.5
  xdotool mousemove --window "$1" 91 455 mousedown 1 sleep 0.2 mousemove --window "$1" 91 448 sleep 0.2 \
    mousemove --window "$1" 91 444 sleep 0.2 mouseup 1
  sleep 0.3
}

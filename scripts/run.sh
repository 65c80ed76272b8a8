#!/usr/bin/env bash
# Installs what is missing, builds Pyxtune and opens its window. Without an NVIDIA card (or
# with PYXTUNE_GPU_BACKEND=sim) it runs on the built-in simulated cards, and says so on the
# window and in the tray tip.
#
# Only the program is built (the window, pyxtunectl, ReadMem and the fonts), with the
# compiler's warnings shown but never stopping the build.
#
# The window needs a display. Without one (DISPLAY and WAYLAND_DISPLAY unset) this script
# says how to go on: run it under a virtual display with
#     xvfb-run -a bash scripts/run.sh
# or look at the cards from the terminal with build/release/bin/pyxtunectl list.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --run
cmake --preset release >/dev/null
cmake --build --preset release
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display to open the Pyxtune window on." >&2
  echo "  Under a virtual display:  xvfb-run -a bash scripts/run.sh" >&2
  echo "  From the terminal:        build/release/bin/pyxtunectl list" >&2
  echo "The GPUs as pyxtunectl sees them:" >&2
  exec build/release/bin/pyxtunectl list
fi
exec build/release/bin/pyxtune "$@"

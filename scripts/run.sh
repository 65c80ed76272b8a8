#!/usr/bin/env bash
# Installs what is missing, builds Pyxtune and starts it. Without an NVIDIA card (or with
# PYXTUNE_GPU_BACKEND=sim) it runs on the built-in simulated cards.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release
exec build/release/bin/pyxtunectl list "$@"

#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test through CTest:
# once with AddressSanitizer + UBSan (the whole program, Qt included) and once with
# ThreadSanitizer over the core built without Qt.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen
for preset in asan tsan; do
  echo "== $preset =="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done

#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test through CTest:
# once with AddressSanitizer + UBSan (the whole program, Qt included), once with
# ThreadSanitizer over the core built without Qt, one-minute libFuzzer runs of the settings
# reader and of the service's request parser (clang, ASan + UBSan), and the Windows core
# cross-built with MinGW-w64 and tested under Wine.
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
echo "== fuzz =="
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target fuzz_CIniFuzz fuzz_ServiceRequestFuzz
ctest --preset fuzz -R '^fuzz_'

# ---------------------------------------------------------------------------------------
# Windows: the core cross-built with MinGW-w64, its tests and programs run under Wine.
echo "== windows =="
bash scripts/test-windows.sh

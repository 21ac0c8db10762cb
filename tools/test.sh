#!/usr/bin/env bash
# Runs every test: installs what is missing, builds the three presets, runs the native tests
# (sanitizers, real peers, the fuzzer) and the Windows tests under wine64 in a virtual display.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/setup.sh
for preset in native win64 win32; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done

source tools/virtual-display.sh
start_virtual_display
trap stop_virtual_display EXIT

status=0
ctest --preset native -j 2 || status=1
ctest --preset win64 || status=1
WINEPREFIX=$PWD/build/win64/wineprefix /usr/lib/wine/wineserver64 -k 2>/dev/null || true
exit $status

#!/usr/bin/env bash
# Runs the tests. Two loops:
#   bash tools/test.sh [CTEST ARGS...]          the full run (= .ci/run): the native, win64 and
#       win32 presets, every test, the slow ones too (fuzz run, Slow suites, end-to-end tests)
#   bash tools/check.sh [CTEST ARGS...]         the inner loop (tools/test.sh --fast): the native
#       and win64 presets, tests without the label "slow"
# CTEST ARGS narrow every preset's run, e.g. -R core. The presets are built one after another
# (each build uses both cores); a preset's tests start as soon as it is built and run beside the
# next builds (they mostly wait on windows and Wine), each Windows preset in an X display and a
# Wine prefix of its own, the output in build/PRESET/test-run.log.
set -euo pipefail
cd "$(dirname "$0")/.."
presets=(native win64 win32)
filter=()
if [ "${1:-}" = --fast ]; then
    shift
    presets=(native win64)
    filter=(-LE slow)
fi

# Windows programs: one at a time in a display of their own, the prefix's server ended after.
run_windows_tests() (
    unset DISPLAY
    source tools/virtual-display.sh
    start_virtual_display
    trap 'WINEPREFIX=$PWD/build/$1/wineprefix /usr/lib/wine/wineserver64 -k 2>/dev/null
        stop_virtual_display' EXIT
    ctest --preset "$1" "${@:2}"
)

bash tools/setup.sh
declare -A pids
for preset in "${presets[@]}"; do
    [ -f "build/$preset/build.ninja" ] || cmake --preset "$preset" >/dev/null
    if ! nice cmake --build --preset "$preset"; then
        echo "== $preset: the build failed" >&2
        wait
        exit 1
    fi
    if [ "$preset" = native ]; then
        ctest --preset native -j 2 "${filter[@]}" "$@" >"build/$preset/test-run.log" 2>&1 &
    else
        run_windows_tests "$preset" "${filter[@]}" "$@" >"build/$preset/test-run.log" 2>&1 &
    fi
    pids[$preset]=$!
done

status=0
for preset in "${presets[@]}"; do
    if wait "${pids[$preset]}"; then
        echo "== $preset: $(grep -E 'tests passed|No tests were found' "build/$preset/test-run.log" | tail -n 1)"
        grep -E '\*\*\*Skipped' "build/$preset/test-run.log" || true
        grep -h '^SKIPPED: ' "build/$preset/Testing/Temporary/LastTest.log" 2>/dev/null | sort -u || true
    else
        status=1
        echo "== $preset FAILED (build/$preset/test-run.log):"
        sed -n '/tests passed/,$p' "build/$preset/test-run.log"
    fi
done
exit $status

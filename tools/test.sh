#!/usr/bin/env bash
# Runs the tests. Two loops:
#   bash tools/test.sh [CTEST ARGS...]          the full run (= .ci/run): the native, win64 and
#       win32 presets, every test, the slow ones too (fuzz run, Slow suites, end-to-end tests);
#       without CTEST ARGS also the reproducibility check of the release (tools/check_reproducible.sh)
#       and the check that every fault of the mutation catalogue still applies to the code
#   bash tools/check.sh [CTEST ARGS...]         the inner loop (tools/test.sh --fast): the native
#       and win64 presets, tests without the label "slow"
# CTEST ARGS select the tests of every preset, e.g. -R core. The presets are built one after another
# (each build uses both cores); a preset's tests start as soon as it is built and run beside the
# next builds (they mostly wait on windows and Wine), each Windows preset in an X display and a
# Wine prefix of its own, the output in build/PRESET/test-run.log.
set -euo pipefail
cd "$(dirname "$0")/.."
presets=(native win64 win32)
filter=()
reproducible=$([ $# -eq 0 ] && echo yes || true)
if [ "${1:-}" = --fast ]; then
    shift
    presets=(native win64)
    filter=(-LE slow)
    reproducible=
fi

# Windows tests run in two lanes, each with its own X display and Wine prefix (windows, focus and
# clipboard are per display and prefix), a program at a time in each; the end-to-end tests, which
# share a prefix of their own, in the first lane.
run_windows_tests() {
    local preset=$1 lane number name status=0
    local -a lanes=("" "") pids=()
    shift
    local listed
    listed=$(ctest --preset "$preset" -N "$@" | sed -n 's/^ *Test *#\([0-9]*\): \(.*\)$/\1 \2/p')
    # The end-to-end tests take about as long as all the others: they get a lane to themselves.
    while read -r number name; do
        if [[ $name == e2e.* ]]; then
            lane=0
        elif grep -q ' e2e\.' <<<"$listed"; then
            lane=1
        else
            lane=$((${#lanes[1]} < ${#lanes[0]}))
        fi
        lanes[lane]+=",$number"
    done <<<"$listed"
    for lane in 0 1; do
        [ -n "${lanes[lane]}" ] || continue
        # The numbers already carry the selection: -I after -R or -LE would count among the rest.
        run_lane "$preset" "$lane" -I "0,0,0${lanes[lane]}" >"build/$preset/test-lane$lane.log" 2>&1 &
        pids+=($!)
    done
    for pid in "${pids[@]}"; do wait "$pid" || status=1; done
    cat "build/$preset/test-lane"*.log
    return $status
}

run_lane() (
    export VANTREL_WINEPREFIX=$PWD/build/$1/wineprefix$([ "$2" = 0 ] || echo "-$2")
    unset DISPLAY
    source tools/virtual-display.sh
    start_virtual_display
    # The server may be gone already (the tests' own stop step ends it): no failure of the lane.
    trap 'WINEPREFIX=$VANTREL_WINEPREFIX /usr/lib/wine/wineserver64 -k 2>/dev/null || true
        stop_virtual_display' EXIT
    ctest --preset "$1" "${@:3}"
)

bash tools/setup.sh
# A fault whose code has moved away would test nothing: every one must still apply (seconds).
if [ -n "$reproducible" ]; then
    if ! applies=$(python3 tools/mutants/mutants.py --check); then
        echo "$applies" >&2
        echo "== mutants: faults of tools/mutants/catalogue no longer apply" >&2
        exit 1
    fi
    echo "== mutants: ${applies##*$'\n'}"
fi
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
# While the tests run: a fresh clone of this commit, built in another folder, gives the same
# programs and package as build/win32.
if [ -n "$reproducible" ]; then
    started=$SECONDS
    bash tools/check_reproducible.sh build/win32 >build/win32/reproducible.log 2>&1 || status=1
    echo "== reproducible ($((SECONDS - started)) s, build/win32/reproducible.log):"
    sed 's/^/   /' build/win32/reproducible.log
fi
for preset in "${presets[@]}"; do
    if wait "${pids[$preset]}"; then
        grep -E 'tests passed|No tests were found' "build/$preset/test-run.log" | sed "s/^/== $preset: /"
        if grep -E '\*\*\*Skipped' "build/$preset/test-run.log"; then
            tools/wine-run.sh --guard "build/$preset/src/app/vantrel.exe" true 2>&1 >/dev/null || true
            WINEPREFIX=$PWD/build/$preset/wineprefix /usr/lib/wine/wineserver64 -k 2>/dev/null || true
        fi
    else
        status=1
        echo "== $preset FAILED (build/$preset/test-run.log, its last 300 lines):"
        tail -n 300 "build/$preset/test-run.log"
    fi
done
exit $status

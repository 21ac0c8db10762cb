#!/usr/bin/env bash
# Runs one Windows program under Wine, as ctest's cross-compiling emulator and by hand:
#   tools/wine-run.sh PROGRAM.exe [ARGS...]
#   tools/wine-run.sh --guard PROGRAM.exe COMMAND [ARGS...]   runs COMMAND if PROGRAM can run here
#   tools/wine-run.sh --loader PROGRAM.exe                    prints the loader PROGRAM runs under
# A 64-bit program runs under wine64, a 32-bit (i386) one under Wine's 32-bit loader. Where
# 32-bit programs cannot run (a kernel without i386 support, Wine without its 32-bit half), a
# 32-bit program is not run: one line on stderr says why and the exit code is 77, which the
# tests declare as "skipped". Whether they run is probed once for each prefix, by what a 32-bit
# program prints: a 32-bit program under a Wine without its 32-bit half prints nothing and
# exits 0. VANTREL_WINE32 names another 32-bit loader; VANTREL_WINE32=/bin/true (prints nothing)
# simulates a machine that cannot run 32-bit programs.
# Every build folder gets its own prefix, set up on first use. The prefix's server and services
# are started here with their output detached: started by a test instead, they would inherit that
# test's output pipe and ctest would wait for them forever. Without a display, one is made.
set -u
mode=run
case "${1:-}" in
--guard | --loader)
    mode=${1#--}
    shift
    ;;
esac
exe=$1
shift
wine64=/usr/lib/wine/wine64
wine32=${VANTREL_WINE32:-/usr/lib/wine/wine}
server=/usr/lib/wine/wineserver64

build=$(cd "$(dirname "$exe")" && pwd)
while [ "$build" != / ] && [ ! -f "$build/CMakeCache.txt" ]; do build=$(dirname "$build"); done
[ "$build" = / ] && build=$(cd "$(dirname "$exe")" && pwd)

export WINEPREFIX=${VANTREL_WINEPREFIX:-$build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
# No debugger for a crashed program: Wine's would wait for ever, and the test with it.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;winedbg.exe=d}

# The PE header's machine field: 014c for i386, 8664 for x86-64.
pe_machine() {
    local header
    header=$(od -An -tu4 -j 60 -N 4 "$1" 2>/dev/null | tr -d ' ')
    [ -n "$header" ] && od -An -tx2 -j $((header + 4)) -N 2 "$1" 2>/dev/null | tr -d ' '
}

loader=$wine64
[ "$(pe_machine "$exe")" = 014c ] && loader=$wine32
if [ "$mode" = loader ]; then
    echo "$loader"
    exit 0
fi

# One verdict a loader: a simulated failure does not overwrite the real one.
cache=$WINEPREFIX/.vantrel-32bit-$(echo "$wine32" | md5sum | cut -c1-12)

# Other prefixes may run their own services at the same time: look for this prefix's.
prefix_services_running() {
    local pid
    for pid in $(pgrep -f 'system32.services\.exe'); do
        tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && return 0
    done
    return 1
}

# Writes the verdict on 32-bit programs to the prefix's cache: "runs", or why they do not.
# The probe is Wine's own 32-bit command interpreter naming the processor it sees.
probe_32bit() {
    local printed
    [ -f "$cache" ] && return 0
    if [ ! -x "$(command -v "$wine32")" ]; then
        echo "there is no 32-bit Wine loader $wine32 (Debian: wine32:i386)" >"$cache"
        return 0
    fi
    printed=$(timeout 120 "$wine32" 'C:\windows\syswow64\cmd.exe' /c echo 'vantrel-%PROCESSOR_ARCHITECTURE%' \
        </dev/null 2>/dev/null 9>&- | tr -d '\r' | head -c 200)
    if [ "$printed" = vantrel-x86 ]; then
        echo runs >"$cache"
    else
        echo "a 32-bit probe under $wine32 printed '${printed//$'\n'/ }' instead of 'vantrel-x86'" >"$cache"
    fi
}

# The lock is closed for everything started inside: the server outlives this script and would
# otherwise keep the lock held, so the next run would wait for it.
(
    flock 9
    if [ ! -f "$WINEPREFIX/.vantrel-ready" ]; then
        mkdir -p "$WINEPREFIX"
        "$wine64" wineboot -i </dev/null >/dev/null 2>&1 9>&-
        # Then started as every later time: the desktop process started by "wineboot -i" does
        # not last, and the one a program would start instead holds that program's output open.
        "$server" -k 9>&-
        "$server" -w 9>&-
        touch "$WINEPREFIX/.vantrel-ready"
    fi
    "$server" -p 600 </dev/null >/dev/null 2>&1 9>&-
    if ! prefix_services_running; then
        "$wine64" wineboot </dev/null >/dev/null 2>&1 9>&-
    fi
    [ "$loader" = "$wine32" ] && probe_32bit
) 9>"$WINEPREFIX.lock"

if [ "$loader" = "$wine32" ]; then
    verdict=$(cat "$cache" 2>/dev/null)
    if [ "$verdict" != runs ]; then
        echo "SKIPPED: 32-bit Windows programs cannot run on this machine: ${verdict:-the probe failed}" >&2
        exit 77
    fi
fi
[ "$mode" = guard ] && exec "$@"

if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s '-screen 0 1280x1024x24' "$loader" "$exe" "$@"
fi
exec "$loader" "$exe" "$@"

#!/usr/bin/env bash
# Runs one Windows program under wine64, as ctest's cross-compiling emulator and by hand:
#   tools/wine-run.sh PROGRAM.exe [ARGS...]
# Every build folder gets its own prefix, set up on first use. The prefix's server and services
# are started here with their output detached: started by a test instead, they would inherit that
# test's output pipe and ctest would wait for them forever. Without a display, one is made.
set -u
exe=$1
shift
wine=/usr/lib/wine/wine64
server=/usr/lib/wine/wineserver64

build=$(cd "$(dirname "$exe")" && pwd)
while [ "$build" != / ] && [ ! -f "$build/CMakeCache.txt" ]; do build=$(dirname "$build"); done
[ "$build" = / ] && build=$(cd "$(dirname "$exe")" && pwd)

export WINEPREFIX=${VANTREL_WINEPREFIX:-$build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

# Other prefixes may run their own services at the same time: look for this prefix's.
prefix_services_running() {
    local pid
    for pid in $(pgrep -f 'system32.services\.exe'); do
        tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && return 0
    done
    return 1
}

# The lock is closed for everything started inside: the server outlives this script and would
# otherwise keep the lock held, so the next run would wait for it.
(
    flock 9
    if [ ! -f "$WINEPREFIX/.vantrel-ready" ]; then
        mkdir -p "$WINEPREFIX"
        "$wine" wineboot -i </dev/null >/dev/null 2>&1 9>&-
        touch "$WINEPREFIX/.vantrel-ready"
    fi
    "$server" -p 600 </dev/null >/dev/null 2>&1 9>&-
    if ! prefix_services_running; then
        "$wine" wineboot </dev/null >/dev/null 2>&1 9>&-
    fi
) 9>"$WINEPREFIX.lock"

if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s '-screen 0 1280x1024x24' "$wine" "$exe" "$@"
fi
exec "$wine" "$exe" "$@"

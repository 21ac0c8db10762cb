#!/usr/bin/env bash
# Runs one Windows program under Wine, as ctest's cross-compiling emulator and by hand:
#   tools/wine-run.sh PROGRAM.exe [ARGS...]
#   tools/wine-run.sh --guard PROGRAM.exe COMMAND [ARGS...]   runs COMMAND if PROGRAM can run here
#   tools/wine-run.sh --loader PROGRAM.exe                    prints the loader PROGRAM runs under
#   tools/wine-run.sh --start PROGRAM.exe     sets up the prefix and starts its server (before tests)
#   tools/wine-run.sh --stop PROGRAM.exe      ends the prefix's server and what runs in it
# A 64-bit program runs under wine64, a 32-bit (i386) one under Wine's 32-bit loader. Where
# 32-bit programs cannot run (a kernel without i386 support, Wine without its 32-bit half), a
# 32-bit program is not run: one line on stderr says why and the exit code is 77, which the
# tests declare as "skipped". Whether they run is probed once for each prefix, by what a 32-bit
# program prints: a 32-bit program under a Wine without its 32-bit half prints nothing and
# exits 0. VANTREL_WINE32 names another 32-bit loader; VANTREL_WINE32=/bin/true (prints nothing)
# simulates a machine that cannot run 32-bit programs.
# Every build folder gets its own prefix (VANTREL_WINEPREFIX names another), set up on first use.
# The prefix's server, services and desktop run on one display, started before any of them:
# the caller's, or without one the prefix's own virtual display, which ends with the server.
# A server found running on another display is ended first: its desktop would never show the
# windows of programs on this one. Nothing started here holds the caller's output open: the
# server and services start detached, and the program writes to files relayed to the caller
# until it ends, so a Wine process it starts (the desktop, services) cannot keep a test running.
set -u
mode=run
case "${1:-}" in
--guard | --loader | --start | --stop)
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
if [ "$mode" = stop ]; then
    "$server" -k 2>/dev/null
    exit 0
fi

# One verdict a loader: a simulated failure does not overwrite the real one.
cache=$WINEPREFIX/.vantrel-32bit-$(echo "$wine32" | md5sum | cut -c1-12)

# Other prefixes may run their own services at the same time: look for this prefix's.
prefix_services_running() {
    local pid
    # A service that ends meanwhile makes the open fail: standard error is redirected first, so
    # that its message goes too and cannot be taken for the program's.
    for pid in $(pgrep -f 'system32.services\.exe'); do
        tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX" && return 0
    done
    return 1
}

# Writes the verdict on 32-bit programs to the prefix's cache: "runs", or why they do not.
# The probe is Wine's own 32-bit command interpreter naming the processor it sees; it writes
# to a file, which a process it starts may keep open without holding anything up.
probe_32bit() {
    local printed
    [ -f "$cache" ] && return 0
    if [ ! -x "$(command -v "$wine32")" ]; then
        echo "there is no 32-bit Wine loader $wine32 (Debian: wine32:i386)" >"$cache"
        return 0
    fi
    timeout 120 "$wine32" 'C:\windows\syswow64\cmd.exe' /c echo 'vantrel-%PROCESSOR_ARCHITECTURE%' \
        </dev/null >"$cache.out" 2>/dev/null 9>&-
    printed=$(tr -d '\r' <"$cache.out" | head -c 200)
    rm -f "$cache.out"
    if [ "$printed" = vantrel-x86 ]; then
        echo runs >"$cache"
    else
        echo "a 32-bit probe under $wine32 printed '${printed//$'\n'/ }' instead of 'vantrel-x86'" >"$cache"
    fi
}

# The display the prefix's processes use, as "DISPLAY socket": a display number given to a new
# X server after the old one ended is not the same display.
display_identity() {
    local number=${DISPLAY#*:}
    echo "$DISPLAY $(stat -c %i "/tmp/.X11-unix/X${number%%.*}" 2>/dev/null)"
}

# Without a display: the prefix's own virtual display, started when it is not running; it ends
# when the prefix's server does (a watcher started with the server stops it).
use_prefix_display() {
    local record=$WINEPREFIX/.vantrel-xvfb number pid
    read -r number pid 2>/dev/null <"$record"
    if [ -z "${pid:-}" ] || ! grep -qa '^Xvfb' "/proc/$pid/cmdline" 2>/dev/null ||
        ! DISPLAY=":$number" xdpyinfo >/dev/null 2>&1; then
        source "$(dirname "$0")/virtual-display.sh"
        launch_xvfb || { echo "wine-run: Xvfb did not start" >&2; exit 1; }
        number=$VANTREL_XVFB_NUMBER pid=$VANTREL_XVFB_PID
        echo "$number $pid" >"$record"
        new_xvfb=$pid
    fi
    export DISPLAY=":$number"
}

# The server lives 600 s after its last program, so that a test run starts it once.
start_server() {
    local identity fresh=0
    identity=$(display_identity)
    if [ "$(cat "$WINEPREFIX/.vantrel-display" 2>/dev/null)" != "$identity" ]; then
        "$server" -k 9>&- 2>/dev/null
        echo "$identity" >"$WINEPREFIX/.vantrel-display"
        fresh=1
    fi
    "$server" -p 600 </dev/null >/dev/null 2>&1 9>&-
    if [ -n "$new_xvfb" ]; then
        (setsid bash -c '"$0" -w; kill "$1"' "$server" "$new_xvfb" </dev/null >/dev/null 2>&1 9>&- &)
    fi
    # Processes of a server just ended may still be about: after our own restart, boot anyway.
    if [ "$fresh" = 1 ] || ! prefix_services_running; then
        "$wine64" wineboot </dev/null >/dev/null 2>&1 9>&-
    fi
}

# Exits 77 with the reason when PROGRAM is 32-bit and the prefix's verdict is that such programs
# cannot run here (no verdict yet: the probe failed).
skip_if_32bit_cannot_run() {
    local verdict
    [ "$loader" = "$wine32" ] || return 0
    verdict=$(cat "$cache" 2>/dev/null)
    if [ "$verdict" != runs ]; then
        [ "$mode" = start ] && exit 0
        echo "SKIPPED: 32-bit Windows programs cannot run on this machine: ${verdict:-the probe failed}" >&2
        exit 77
    fi
}

# A verdict already known spares the server's start.
[ -f "$cache" ] && skip_if_32bit_cannot_run
caller_display=${DISPLAY:-}
new_xvfb=
mkdir -p "$WINEPREFIX"
exec 9>"$WINEPREFIX.lock"
flock 9
[ -n "${DISPLAY:-}" ] || use_prefix_display
if [ ! -f "$WINEPREFIX/.vantrel-ready" ]; then
    "$server" -k 9>&- 2>/dev/null
    "$wine64" wineboot -i </dev/null >/dev/null 2>&1 9>&-
    # Windows not left to a window manager: without one (the virtual displays), Wine waits two
    # seconds for it at every hide of a managed window.
    "$wine64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1 9>&-
    # Then started as every later time: the desktop process started by "wineboot -i" does not
    # last.
    "$server" -k 9>&-
    "$server" -w 9>&-
    rm -f "$WINEPREFIX/.vantrel-display"
    touch "$WINEPREFIX/.vantrel-ready"
fi
start_server
[ "$loader" = "$wine32" ] && probe_32bit
# The lock is closed for everything started from here: the server outlives this script and
# would otherwise keep the lock held, so the next run would wait for it.
exec 9>&-
[ "$mode" = start ] && exit 0

skip_if_32bit_cannot_run
if [ "$mode" = guard ]; then
    # The command gets the caller's display, not the prefix's: it may outlive the server.
    [ -n "$caller_display" ] || unset DISPLAY
    exec "$@"
fi
# Only a pipe (or socket) can be held open by a process the program leaves behind; a terminal,
# a file or a device (/dev/full) is handed to the program as it is, so its writes fail as they
# would.
is_pipe() { [ -p "/proc/$$/fd/$1" ] || [ -S "/proc/$$/fd/$1" ]; }
if ! is_pipe 1 && ! is_pipe 2; then
    exec "$loader" "$exe" "$@"
fi

# The program writes to files that are relayed as they grow; the relays end with the program,
# and the program with this script (as it would, had it been started in its place). Standard
# output and error stay one stream when the caller gave one.
relay=$(mktemp -d)
trap 'rm -rf "$relay"' EXIT
# The files exist before the relays start: the program creates them only once it is under way.
: >"$relay/out"
: >"$relay/err"
exec 3<&0
loader=(setpriv --pdeathsig KILL "$loader")
relays=()
if [ "$(readlink /proc/$$/fd/1)" = "$(readlink /proc/$$/fd/2)" ]; then
    "${loader[@]}" "$exe" "$@" <&3 3<&- >"$relay/out" 2>&1 &
    program=$!
    tail -n +1 -s 0.1 --pid=$program -f "$relay/out" 3<&- &
    relays=($!)
else
    if is_pipe 1; then exec 4>"$relay/out"; else exec 4>&1; fi
    if is_pipe 2; then exec 5>"$relay/err"; else exec 5>&2; fi
    "${loader[@]}" "$exe" "$@" <&3 3<&- >&4 2>&5 4>&- 5>&- &
    program=$!
    exec 4>&- 5>&-
    if is_pipe 1; then
        tail -n +1 -s 0.1 --pid=$program -f "$relay/out" 3<&- &
        relays+=($!)
    fi
    if is_pipe 2; then
        tail -n +1 -s 0.1 --pid=$program -f "$relay/err" >&2 3<&- &
        relays+=($!)
    fi
fi
exec 3<&-
wait "$program"
status=$?
wait "${relays[@]}"
exit $status

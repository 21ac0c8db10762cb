# Sourced: start_virtual_display gives this shell an Xvfb display of its own (DISPLAY),
# stop_virtual_display ends it. A display already set is kept as it is.
# launch_xvfb starts one detached (not a child, a session of its own, none of the caller's files
# open) and sets VANTREL_XVFB_NUMBER and VANTREL_XVFB_PID; whoever started it stops it.
# The FIFO for the display's number lies in a folder of its own, which no other user can enter
# or replace the FIFO in.
launch_xvfb() {
    local folder fifo
    folder=$(mktemp -d) || return 1
    fifo=$folder/display
    mkfifo "$fifo" || { rmdir "$folder"; return 1; }
    (setsid sh -c 'echo $$ >"$0.pid"; exec Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp' \
        "$fifo" 3>"$fifo" </dev/null >/dev/null 2>&1 9>&- &)
    VANTREL_XVFB_NUMBER= VANTREL_XVFB_PID=
    read -r VANTREL_XVFB_NUMBER <"$fifo"
    VANTREL_XVFB_PID=$(cat "$fifo.pid" 2>/dev/null)
    rm -rf "$folder"
    [ -n "$VANTREL_XVFB_NUMBER" ] && [ -n "$VANTREL_XVFB_PID" ]
}

start_virtual_display() {
    if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
        return 0
    fi
    launch_xvfb || { echo "virtual display: Xvfb did not start" >&2; return 1; }
    export DISPLAY=":$VANTREL_XVFB_NUMBER"
}

stop_virtual_display() {
    if [ -n "${VANTREL_XVFB_PID:-}" ]; then
        kill "$VANTREL_XVFB_PID" 2>/dev/null || true
        tail --pid="$VANTREL_XVFB_PID" -f /dev/null
        unset VANTREL_XVFB_PID
    fi
}

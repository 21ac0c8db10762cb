# Sourced: start_virtual_display gives this shell an Xvfb display of its own (DISPLAY),
# stop_virtual_display ends it. A display already set is kept as it is.
start_virtual_display() {
    if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
        return 0
    fi
    local fifo
    fifo=$(mktemp -u) && mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" </dev/null >/dev/null 2>&1 &
    VANTREL_XVFB_PID=$!
    local number
    read -r number <"$fifo"
    rm -f "$fifo"
    export DISPLAY=":$number"
}

stop_virtual_display() {
    if [ -n "${VANTREL_XVFB_PID:-}" ]; then
        kill "$VANTREL_XVFB_PID" 2>/dev/null || true
        wait "$VANTREL_XVFB_PID" 2>/dev/null || true
        unset VANTREL_XVFB_PID
    fi
}

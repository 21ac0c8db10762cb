#!/usr/bin/env bash
# Starts Vantrel's window on the files it is given (they are hashed at start-up):
#   tools/run.sh FILE...
# Installs what is missing and builds first when needed. It runs the shipped 32-bit program
# (the win32 preset) under Wine's 32-bit loader, or where 32-bit programs cannot run, the 64-bit
# twin (win64) under wine64, and says which. With a display, the window opens there and the
# script ends when it is closed. Without one, the program runs in a virtual display, inside a
# Wine desktop window that draws its frame and caption as Windows does: the script prints the
# list's lines after start-up, saves a screenshot of the display to build/PRESET/run-screenshot.png
# and closes the program. The Wine prefix is build/PRESET/run-wineprefix (VANTREL_WINEPREFIX
# names another), apart from the tests' prefixes.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_preset() {
    (cd "$root" && { [ -f "build/$1/build.ninja" ] || cmake --preset "$1"; } &&
        cmake --build --preset "$1" --target vantrel vantrel_probe) >&2
}
prefix_of() { echo "${VANTREL_WINEPREFIX:-$root/build/$1/run-wineprefix}"; }
wine_in() { WINEPREFIX=$1 WINEDEBUG=-all "${@:2}" </dev/null >/dev/null 2>&1; }

bash "$root/tools/setup.sh" >&2
build_preset win32

# The display first: a Wine server and desktop started without one would stay without it.
source "$root/tools/virtual-display.sh"
virtual=
if ! { [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; }; then
    unset DISPLAY
    start_virtual_display
    virtual=1
fi
stop() {
    if [ -n "$virtual" ]; then
        wine_in "$prefix" /usr/lib/wine/wineserver64 -k || true
        stop_virtual_display
    fi
}
prefix=$(prefix_of win32)
trap stop EXIT

preset=win32
program=$root/build/win32/src/app/vantrel.exe
if ! VANTREL_WINEPREFIX=$prefix "$root/tools/wine-run.sh" --guard "$program" true; then
    [ "$prefix" = "$(prefix_of win64)" ] || wine_in "$prefix" /usr/lib/wine/wineserver64 -k || true
    preset=win64
    program=$root/build/win64/src/app/vantrel.exe
    prefix=$(prefix_of win64)
    build_preset win64
    echo "run: the 64-bit twin instead, under wine64: $program" >&2
else
    echo "run: the shipped 32-bit program, under $("$root/tools/wine-run.sh" --loader "$program"): $program" >&2
fi
build=$root/build/$preset
export VANTREL_WINEPREFIX=$prefix

# Without a display, every window of the prefix sits in one Wine desktop window as large as the
# virtual display; with one, the windows are the display's own. The desktop process reads this
# when it starts: the server is ended after a change, to start again with the new setting.
desktop=none
[ -n "$virtual" ] && desktop=$(xdpyinfo | sed -n 's/^ *dimensions: *\([0-9]*x[0-9]*\) .*/\1/p')
if [ "$(cat "$prefix/.vantrel-run-desktop" 2>/dev/null)" != "$desktop" ]; then
    explorer='HKCU\Software\Wine\Explorer'
    if [ "$desktop" = none ]; then
        wine_in "$prefix" /usr/lib/wine/wine64 reg delete "$explorer" /v Desktop /f || true
    else
        wine_in "$prefix" /usr/lib/wine/wine64 reg add "$explorer\\Desktops" /v Default /d "$desktop" /f
        wine_in "$prefix" /usr/lib/wine/wine64 reg add "$explorer" /v Desktop /d Default /f
    fi
    wine_in "$prefix" /usr/lib/wine/wineserver64 -k || true
    echo "$desktop" >"$prefix/.vantrel-run-desktop"
fi

# The caption's buttons are drawn in the Marlett font, which Wine ships (fonts-wine) but a
# prefix does not find there by itself: it goes into the prefix's own Fonts folder, read at start.
fonts=$prefix/drive_c/windows/Fonts
if [ -f /usr/share/wine/fonts/marlett.ttf ] && [ -d "$fonts" ] && [ ! -f "$fonts/marlett.ttf" ]; then
    cp /usr/share/wine/fonts/marlett.ttf "$fonts/"
    wine_in "$prefix" /usr/lib/wine/wineserver64 -k || true
fi

if [ -z "$virtual" ]; then
    exec "$root/tools/wine-run.sh" "$program" "$@"
fi

"$root/tools/wine-run.sh" "$program" "$@" </dev/null >/dev/null 2>&1 &
program_pid=$!
probe_out=$(mktemp)
# Prints the main window's list once the window shows; its screen rectangle goes to fd 3.
/usr/bin/python3 - "$root/tools/wine-run.sh" "$build/tools/desktop/vantrel_probe.exe" "$probe_out" \
    "$program_pid" 3>"$probe_out.rect" <<'PY'
import json, os, subprocess, sys, time
wine_run, probe, out, program = sys.argv[1:5]
deadline = time.time() + 120
while time.time() < deadline:
    if not os.path.exists("/proc/" + program):
        sys.exit("run: the program ended before its window appeared")
    with open(out, "wb") as f:
        subprocess.run([wine_run, probe, "windows", "items"], stdout=f, stderr=subprocess.DEVNULL,
                       stdin=subprocess.DEVNULL)
    try:
        snapshot = json.load(open(out, encoding="utf-8"))
    except ValueError:
        snapshot = {"windows": []}
    for window in snapshot["windows"]:
        if window.get("class") == "obj_Form" and window.get("visible", True):
            for child in window.get("children", []):
                if "items" in child:
                    for item in child["items"]:
                        print(item)
                    os.write(3, " ".join(map(str, window["rect"])).encode())
                    sys.exit(0)
    time.sleep(0.5)
sys.exit("run: the window did not appear within 120 s")
PY
read -r left top right bottom <"$probe_out.rect" || true
rm -f "$probe_out" "$probe_out.rect"
import -window root "$build/run-screenshot.png"
echo "screenshot: $build/run-screenshot.png" >&2
# Close it as a person would: a click into the list to focus the window, then Alt+F4; what is
# still running after 30 s ends with the prefix's server.
xdotool mousemove $((left + 60)) $((bottom - 20)) click 1 key alt+F4
for _ in $(seq 300); do
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.1
done

#!/usr/bin/env bash
# Starts Vantrel's window on the files it is given (they are hashed at start-up):
#   tools/run.sh FILE...
# Installs what is missing and builds first when needed. It runs the shipped 32-bit program
# (the win32 preset) under Wine's 32-bit loader, or where 32-bit programs cannot run, the 64-bit
# twin (win64) under wine64, and says which. With a display, the window opens there and the
# script ends when it is closed. Without one, the program runs in a virtual display: the script
# prints the list's lines after start-up, saves a screenshot of the window to
# build/PRESET/run-screenshot.png and closes the program.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_preset() {
    (cd "$root" && { [ -f "build/$1/build.ninja" ] || cmake --preset "$1"; } &&
        cmake --build --preset "$1" --target vantrel vantrel_probe) >&2
}

bash "$root/tools/setup.sh" >&2
build_preset win32
build=$root/build/win32
program=$build/src/app/vantrel.exe
if ! "$root/tools/wine-run.sh" --guard "$program" true; then
    WINEPREFIX=$build/wineprefix /usr/lib/wine/wineserver64 -k 2>/dev/null || true
    build=$root/build/win64
    program=$build/src/app/vantrel.exe
    build_preset win64
    echo "run: the 64-bit twin instead, under wine64: $program" >&2
else
    echo "run: the shipped 32-bit program, under $("$root/tools/wine-run.sh" --loader "$program"): $program" >&2
fi
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    exec "$root/tools/wine-run.sh" "$program" "$@"
fi

source "$root/tools/virtual-display.sh"
start_virtual_display
export WINEPREFIX=$build/wineprefix
cleanup() {
    /usr/lib/wine/wineserver64 -k 2>/dev/null || true
    stop_virtual_display
}
trap cleanup EXIT

"$root/tools/wine-run.sh" "$program" "$@" </dev/null >/dev/null 2>&1 &
program_pid=$!
probe_out=$(mktemp)
# Prints the main window's list once the window shows; its screen rectangle goes to fd 3.
/usr/bin/python3 - "$root/tools/wine-run.sh" "$build/tests/app/e2e/vantrel_probe.exe" "$probe_out" 3>"$probe_out.rect" <<'PY'
import json, os, subprocess, sys, time
wine_run, probe, out = sys.argv[1:4]
deadline = time.time() + 300
while time.time() < deadline:
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
sys.exit("the window did not appear within 300 s")
PY
read -r left top right bottom <"$probe_out.rect" || true
rm -f "$probe_out" "$probe_out.rect"
import -window root "$build/run-screenshot.png"
echo "screenshot: $build/run-screenshot.png" >&2
# Close it as a person would: a click into the list to focus the window, then Alt+F4.
xdotool mousemove $((left + 60)) $((bottom - 20)) click 1 key alt+F4
wait "$program_pid" || true

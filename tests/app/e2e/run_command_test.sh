#!/usr/bin/env bash
# tools/run.sh as a new user runs it, without a display, three times (first on a fresh prefix).
set -u
root=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# Where 32-bit programs cannot run, the command runs the 64-bit twin, built elsewhere.
if ! bash "$root/tools/wine-run.sh" --guard "$2" true 2>/dev/null &&
    [ ! -f "$root/build/win64/tools/desktop/vantrel_probe.exe" ]; then
    echo "SKIPPED: 32-bit programs cannot run here and the 64-bit twin (build/win64) is not built"
    exit 77
fi

info='d6:lengthi1e4:name1:a12:piece lengthi16384e6:pieces20:aaaaaaaaaaaaaaaaaaaae'
file="$scratch/first contact.torrent"
printf 'd4:info%se' "$info" >"$file"
want="$(printf %s "$info" | sha1sum | cut -c1-40 | tr a-f A-F)   first contact.torrent"

failures=0
for run in 1 2 3; do
    start=$SECONDS
    got=$(env -u DISPLAY VANTREL_WINEPREFIX="$scratch/prefix" bash "$root/tools/run.sh" "$file" \
        </dev/null 2>"$scratch/err")
    shot=$(sed -n 's/^screenshot: //p' "$scratch/err")
    if [ "$got" = "$want" ] && [ -s "$shot" ]; then
        echo "run $run: the line and a screenshot, $((SECONDS - start)) s"
    else
        echo "FAILED: run $run printed '$got' instead of '$want' (screenshot: '$shot'); its messages:"
        cat "$scratch/err"
        failures=$((failures + 1))
    fi
done
exit $((failures > 0))

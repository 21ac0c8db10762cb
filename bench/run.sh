#!/usr/bin/env bash
# The benchmark: builds vantrel-cli, generates the corpora (the same bytes on every machine),
# checks vantrel-cli's output over them against the recorded digests, then times vantrel-cli
# against libtorrent, transmission-show and the floors (openssl sha1 reading the files itself: two
# processes over half the files each, and one over all of them), alternating, and
# every path of SHA-1 and SHA-256 against OpenSSL with the same instructions, natively and in the
# 32-bit Windows build under Wine. Writes bench/out/results.md, results.json and chart.png.
# Then times the real program under Wine (the 32-bit build where it runs) in a virtual display
# (bench/gui_timings.py), unless --no-gui is given: bench/out/gui-results.md.
#   bash bench/run.sh [--no-gui] [--digests-only] [--rounds N] [--sha-rounds N] [--sample N]
# Needs about 1.6 GB of disk in bench/out/ and as much free memory for the page cache.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
out=bench/out
build=build/bench
gui=1
if [ "${1:-}" = "--no-gui" ]; then
    gui=0
    shift
fi
corpora=1
case " $* " in
*" --digests-only "*) corpora=0 gui=0 ;;
esac

bash tools/setup.sh
cmake --preset native -B "$build" >/dev/null
# The digest timing program links the same core library as vantrel-cli.
cmake --build "$build" --target vantrel-cli digest_speed >/dev/null
# Its Windows twin: the shipped 32-bit build where 32-bit programs run here, the 64-bit one
# otherwise (the table says which).
for preset in win32 win64; do
    windows=build/bench-$preset
    cmake --preset "$preset" -B "$windows" >/dev/null
    cmake --build "$windows" --target digest_speed >/dev/null
    tools/wine-run.sh --guard "$windows/bench/digest_speed.exe" true 2>/dev/null && break
done

mkdir -p "$out"
if [ "$corpora" = 1 ]; then
    /usr/bin/python3 bench/generate_corpus.py mixed "$out/mixed"
    /usr/bin/python3 bench/generate_corpus.py small "$out/small"
    [ -f "$out/large.torrent" ] || /usr/bin/python3 bench/make_large.py "$out/large.torrent" 268435456
fi

/usr/bin/python3 bench/measure.py --cli "$build/src/cli/vantrel-cli" --digest-speed "$build/bench/digest_speed" \
    --windows-digest-speed "$windows/bench/digest_speed.exe" --windows-name "$preset build under Wine" \
    --large "$out/large.torrent" --out "$out" "$@"

if [ "$gui" = 1 ]; then
    # The shipped 32-bit build where 32-bit programs run here, the 64-bit twin otherwise.
    for preset in win32 win64; do
        windows=build/bench-$preset
        cmake --preset "$preset" -B "$windows" >/dev/null
        cmake --build "$windows" --target vantrel vantrel_probe vantrel-cli >/dev/null
        tools/wine-run.sh --guard "$windows/src/app/vantrel.exe" true && break
    done
    loader=$(tools/wine-run.sh --loader "$windows/src/app/vantrel.exe")
    echo "GUI timings: $windows under $loader"
    # The program's windows need a display: a virtual one of its own.
    source tools/virtual-display.sh
    start_virtual_display
    trap stop_virtual_display EXIT
    PYTHONPATH=tools/desktop /usr/bin/python3 bench/gui_timings.py --program "$windows/src/app/vantrel.exe" \
        --probe "$windows/tools/desktop/vantrel_probe.exe" --cli "$windows/src/cli/vantrel-cli.exe" \
        --prefix "$windows/bench-wineprefix" --out "$out" --wine "$loader"
fi

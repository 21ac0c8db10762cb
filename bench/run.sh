#!/usr/bin/env bash
# The benchmark: builds vantrel-cli, generates the corpora (the same bytes on every machine),
# checks vantrel-cli's output over them against the recorded digests, then times vantrel-cli
# against libtorrent, transmission-show and the floor (cat | openssl sha1), alternating, and
# SHA-1 against OpenSSL. Writes bench/out/results.md, results.json and chart.png.
#   bash bench/run.sh [--rounds N]
# Needs about 1.6 GB of disk in bench/out/ and as much free memory for the page cache.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
out=bench/out
build=build/bench

bash tools/setup.sh
cmake --preset native -B "$build" >/dev/null
cmake --build "$build" --target vantrel-cli >/dev/null
# The SHA-1 timing program links the same core library as vantrel-cli.
g++ -std=c++20 -O2 -Isrc bench/sha1_speed.cpp "$build/src/libvantrel_core.a" -o "$build/sha1_speed"

mkdir -p "$out"
/usr/bin/python3 bench/generate_corpus.py mixed "$out/mixed"
/usr/bin/python3 bench/generate_corpus.py small "$out/small"
[ -f "$out/large.torrent" ] || /usr/bin/python3 bench/make_large.py "$out/large.torrent" 268435456

/usr/bin/python3 bench/measure.py --cli "$build/src/app/vantrel-cli" --sha1-speed "$build/sha1_speed" \
    --large "$out/large.torrent" --out "$out" "$@"

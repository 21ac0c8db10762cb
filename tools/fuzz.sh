#!/usr/bin/env bash
# Builds the info-hash fuzzer with clang (libFuzzer, ASan, UBSan) and runs it for a bounded time:
#   tools/fuzz.sh [SECONDS]     (default 60)
# The core's sources are the ones CMake builds it from: the list the native build's configure
# step writes (build/native/core_sources.txt). Findings are left in build/fuzz/; a finding fails
# the run.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
out=build/fuzz
mkdir -p "$out/corpus" "$out/findings"

list=build/native/core_sources.txt
[ -f "$list" ] || cmake --preset native >/dev/null
mapfile -t sources <"$list"
clang++ -std=c++20 -O1 -g -Isrc -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
    tests/core/info_hash_fuzz.cpp "${sources[@]}" -o "$out/info_hash_fuzz"

# Seeds: the shapes the byte search and the strict scan take apart.
seed() { printf '%s' "$2" >"$out/corpus/$1"; }
seed v1 'd8:announce1:x4:infod6:lengthi1e6:pieces20:01234567890123456789ee'
seed private 'd8:announce1:x4:infod6:lengthi1e6:pieces20:012345678901234567897:privatei1eee'
seed list 'd8:announce1:x4:infod6:lengthi1e6:pieces20:012345678901234567894:tagsl1:xeeexe'
seed v2 'd4:infod9:file treed1:ad0:d6:lengthi1e11:pieces root3:abceee12:meta versioni2eee'
seed wrap 'd8:announce1:x6:lengthi1e4:infod6:pieces1:A4294967285:xe'

"$out/info_hash_fuzz" -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=4096 \
    -print_final_stats=1 -artifact_prefix="$out/findings/" "$out/corpus" 2>"$out/fuzz.log" ||
    { tail -n 40 "$out/fuzz.log"; exit 1; }
grep -E '^stat::number_of_executed_units' "$out/fuzz.log"
echo "fuzzing for ${seconds}s found nothing"

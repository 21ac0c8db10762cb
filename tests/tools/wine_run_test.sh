#!/usr/bin/env bash
# tools/wine-run.sh picks the loader by the program's PE machine and runs a 32-bit program only where
# a 32-bit probe prints what it should, else says why in one line and exits 77. Stand-in loaders play both.
set -u
wine_run=$1 # tools/wine-run.sh
export VANTREL_WINEPREFIX=$2/wineprefix # $2: the build folder
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
expect() { # DESCRIPTION EXPECTED ACTUAL
    [ "$2" = "$3" ] || { echo "FAILED: $1: expected '$2', got '$3'"; failures=$((failures + 1)); }
}

# The PE header's machine field at 0x40 + 4 says i386; nothing else of the file is read.
printf 'MZ%058d\x40\0\0\0PE\0\0\x4c\x01' 0 >"$scratch/i386.exe"
printf '#!/bin/sh\ncase "$*" in *cmd.exe*) echo vantrel-x86 ;; *) echo "ran $*" ;; esac\n' >"$scratch/runs"
printf '#!/bin/sh\necho vantrel-AMD64\n' >"$scratch/wrong-half"
printf '#!/bin/sh\nexit 0\n' >"$scratch/silent"
# A program that reads a line, writes to both streams, exits 3 and leaves a process behind that
# writes later: as the desktop or a service a test starts would, it must not hold the output.
printf '#!/bin/sh\ncase "$*" in *cmd.exe*) echo vantrel-x86 ;; *) read -r line; echo "out $line"
echo err >&2; (sleep 2; echo late) & exit 3 ;; esac\n' >"$scratch/lingers"
chmod +x "$scratch/runs" "$scratch/wrong-half" "$scratch/silent" "$scratch/lingers"

out=$(VANTREL_WINE32=$scratch/runs "$wine_run" "$scratch/i386.exe" a b 2>&1)
expect "a 32-bit program where 32-bit programs run" "0 ran $scratch/i386.exe a b" "$? $out"
expect "the loader named" "$scratch/runs" "$(VANTREL_WINE32=$scratch/runs "$wine_run" --loader "$scratch/i386.exe")"
out=$(echo x | VANTREL_WINE32=$scratch/lingers "$wine_run" "$scratch/i386.exe" 2>&1)
expect "input, exit code and one output stream in order; nothing after the program ends" \
    "3 out x err" "$? ${out//$'\n'/ }"
out=$(echo y | VANTREL_WINE32=$scratch/lingers "$wine_run" "$scratch/i386.exe" 2>/dev/null)
expect "the output streams kept apart" "3 out y" "$? ${out//$'\n'/ }"
for loader in silent wrong-half; do
    out=$(VANTREL_WINE32=$scratch/$loader "$wine_run" "$scratch/i386.exe" 2>&1)
    code=$?
    expect "a 32-bit program under the $loader loader" 77 "$code"
    expect "the reason, in one line" 1 "$(grep -c '^SKIPPED: 32-bit Windows programs cannot run' <<<"$out")"
    out=$(VANTREL_WINE32=$scratch/$loader "$wine_run" --guard "$scratch/i386.exe" echo guarded 2>/dev/null)
    expect "a check guarded by a 32-bit program under the $loader loader" "77 " "$? $out"
done
exit $((failures > 0))

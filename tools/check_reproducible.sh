#!/usr/bin/env bash
# Proves the Windows release reproducible: the shipped programs and the package, built from a
# fresh clone of this commit in a folder of another name, at another time, in another time zone
# and with another umask, are byte for byte those of the first build.
#   bash tools/check_reproducible.sh                two fresh clones, built one after the other
#   bash tools/check_reproducible.sh BUILD_FOLDER   one fresh clone against this checkout's build
#       (tools/test.sh passes build/win32; changes not committed yet come along to the clone)
# Prints the files' SHA-256 digests in both builds; exits 1 when any differs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/vantrel-reproducible.XXXXXX")
trap 'rm -rf "$work"' EXIT

# A fresh clone of the checkout's commit, with what is not committed yet (changed and new
# files), so that a build of the checkout itself can be compared.
clone() {
    git clone -q --shared --no-checkout "$root" "$1"
    git -C "$1" checkout -q --detach "$(git -C "$root" rev-parse HEAD)"
    git -C "$root" diff --binary HEAD | git -C "$1" apply --allow-empty
    (cd "$root" && git ls-files -z --others --exclude-standard | xargs -0r cp --parents -t "$1")
}

# Builds the 32-bit programs and the package in SOURCE/build/win32, without a compiler cache.
build() (
    cd "$1"
    unset CMAKE_C_COMPILER_LAUNCHER CMAKE_CXX_COMPILER_LAUNCHER
    if ! { cmake --preset win32 && nice cmake --build --preset win32 --target package; } \
        >"$work/build.log" 2>&1; then
        tail -n 40 "$work/build.log"
        echo "check_reproducible: the build in $1 failed" >&2
        exit 1
    fi
)

if [ $# -ge 1 ]; then
    first=$(cd "$1" && pwd)
else
    clone "$work/clone"
    build "$work/clone"
    first=$work/clone/build/win32
fi
started=$(date +%s)
# The second build: another folder (another name and length), another zone, another umask.
clone "$work/second-clone-elsewhere"
(umask 077 && TZ=Pacific/Chatham build "$work/second-clone-elsewhere")
second=$work/second-clone-elsewhere/build/win32

status=0
package=$(cd "$first" && echo vantrel-*-win32.zip)
echo "first build:  $first"
echo "second build: $second (built from $(date -u -d "@$started" +%H:%M:%S) UTC)"
for file in src/app/vantrel.exe src/cli/vantrel-cli.exe "$package" SHA256SUMS; do
    one=$(sha256sum <"$first/$file" | cut -c1-64)
    two=$(sha256sum <"$second/$file" 2>/dev/null | cut -c1-64 || true)
    if [ "$one" = "$two" ]; then
        echo "$one  $file: identical"
    else
        echo "$one  $file: DIFFERS, second build: ${two:-missing}"
        status=1
    fi
done
exit $status

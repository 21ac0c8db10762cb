#!/usr/bin/env bash
# Prints the result line of every file it is given, as the program's list would show it:
#   tools/run.sh FILE...
# Installs what is missing and builds the console front end first when needed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
{
    bash "$root/tools/setup.sh"
    (cd "$root" && cmake --preset native && cmake --build --preset native --target vantrel-cli)
} >&2
exec "$root/build/native/src/app/vantrel-cli" "$@"

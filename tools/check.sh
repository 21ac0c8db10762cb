#!/usr/bin/env bash
# The inner loop: builds the native and win64 presets and runs their tests without the label
# "slow" (no fuzz run, no Slow suites, no end-to-end tests, no win32). See tools/test.sh.
#   bash tools/check.sh [CTEST ARGS...]
exec bash "$(dirname "$0")/test.sh" --fast "$@"

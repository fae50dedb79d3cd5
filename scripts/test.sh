#!/usr/bin/env bash
# Sets up, builds and runs every test. With --sanitize LIST, in a sanitizer build of its own.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
dir=$(scripts/build.sh "$@" | tail -n 1)
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir "$dir" --output-on-failure -j"$(nproc)" --timeout 300

#!/usr/bin/env bash
# Runs one QtTest program of the Windows build under Wine (ctest's command for the window
# tests). Wine loses QtTest's console output, so the program writes its log to a file, which
# is printed here and judged with the exit code: a run passes only when it exits 0 and its
# log ends with totals of no failure.
set -uo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
program=$1
shift
export WINEPREFIX="${WINEPREFIX:-$repo/build-windows/wine-prefix}" WINEDEBUG="${WINEDEBUG:--all}"
log=$(mktemp "${TMPDIR:-/tmp}/qtest-XXXXXX.txt")
trap 'rm -f "$log"' EXIT
"$repo/scripts/wine-run.sh" "$program" -o "$(winepath -w "$log" 2>/dev/null || echo "$log"),txt" "$@"
code=$?
cat "$log"
if [ "$code" -ne 0 ]; then
    echo "exit code $code" >&2
    exit 1
fi
grep -Eq '^Totals: [0-9]+ passed, 0 failed' "$log" || { echo "no passing totals in the log" >&2; exit 1; }

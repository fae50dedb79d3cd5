#!/usr/bin/env bash
# Runs a Windows program of the cross build under Wine: ctest's emulator for the .exe tests.
# The Wine prefix lives in the build folder (build-windows/wine-prefix unless WINEPREFIX is
# set), so nothing of the user's own ~/.wine is touched; Wine's debug chatter is off.
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
export WINEPREFIX="${WINEPREFIX:-$repo/build-windows/wine-prefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko installer dialogs when the prefix is made.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
exec wine "$@"

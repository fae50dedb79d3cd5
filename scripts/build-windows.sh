#!/usr/bin/env bash
# Cross-builds for 64-bit Windows with MinGW-w64 into build-windows/: the core,
# quelvar-gsm-cli.exe (static: one file that runs on a bare Windows) and the core's tests;
# the window program too where Qt 6 for Windows is found (it is not installed here). Then
# makes the ZIP of the command line and the README, and prints its path on the last line.
# The tests run under Wine: scripts/test-windows.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-windows.sh

dir=build-windows
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
      -DCMAKE_BUILD_TYPE=Release -DQUELVAR_WERROR=ON "${launcher[@]}" >&2
cmake --build "$dir" -j"$(nproc)" >&2
(cd "$dir" && cpack -G ZIP >&2)
zip=$(ls -t "$PWD/$dir"/quelvar-gsm-cli-*-windows-x86_64.zip | head -n 1)
echo "$zip"

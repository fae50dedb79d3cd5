#!/usr/bin/env bash
# Cross-builds for 64-bit Windows with MinGW-w64 into build-windows/: SQLite and Qt for Windows
# the first time (scripts/build-sqlite-windows.sh and scripts/build-qt-windows.sh, each kept in
# a cache folder), then the core, quelvar-gsm.exe and quelvar-gsm-cli.exe (static: each one
# file that runs on a bare Windows), the core's, the command line's and the window's tests.
# Then makes the installer and the ZIP, and prints the installer's path on the last line.
# QUELVAR_NO_QT=1 builds without the window program (no Qt build; SQLite all the same, for
# the core). The tests run under Wine: scripts/test-windows.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-windows.sh
sqlite=$(scripts/build-sqlite-windows.sh | tail -n 1)
qt_options=()
if [ "${QUELVAR_NO_QT:-0}" != 1 ]; then
    qt=$(scripts/build-qt-windows.sh | tail -n 1)
    qt_options=(-DQUELVAR_QT_PREFIX="$qt" -DQT_HOST_PATH=/usr
                -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake)
fi

dir=build-windows
# Another Qt or SQLite (a new version, other options, another toolchain) needs a fresh
# configuration: CMake keeps the first ones it found and the first compiler flags in its cache.
if [ -f "$dir/CMakeCache.txt" ] &&
   { ! grep -qxF "Qt6_DIR:PATH=${qt:-}/lib/cmake/Qt6" "$dir/CMakeCache.txt" ||
     grep '^SQLite3_LIBRARY:' "$dir/CMakeCache.txt" |
         grep -qvxF "SQLite3_LIBRARY:FILEPATH=$sqlite/lib/libsqlite3.a"; }; then
    rm -rf "$dir/CMakeCache.txt" "$dir/CMakeFiles"
fi
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
      -DCMAKE_BUILD_TYPE=Release -DQUELVAR_WERROR=ON "${launcher[@]}" \
      -DQUELVAR_SQLITE_PREFIX="$sqlite" "${qt_options[@]}" >&2
cmake --build "$dir" -j"$(nproc)" >&2
(cd "$dir" && cpack >&2)
for program in "$dir"/src/app/quelvar-gsm.exe "$dir"/src/cli/quelvar-gsm-cli.exe \
               "$dir"/quelvar-gsm-*-setup.exe "$dir"/quelvar-gsm-*-windows-x86_64.zip; do
    [ -f "$program" ] && echo "$(basename "$program"): $(( $(stat -c %s "$program") / 1024 )) KiB" >&2
done
ls "$PWD/$dir"/quelvar-gsm-*-setup.exe 2>/dev/null || ls "$PWD/$dir"/quelvar-gsm-*-windows-x86_64.zip

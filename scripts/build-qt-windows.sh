#!/usr/bin/env bash
# Builds Qt for 64-bit Windows (MinGW-w64, static) once, from Debian's own source package of
# the Qt that the Linux build uses, with Debian's Qt host tools, into a cache folder outside
# the work tree. The folder's name carries the Qt version, the compiler and a digest of the
# options, so a change of any of them builds a new one; when it is there, nothing is done.
# Prints the folder on the last line. QUELVAR_QT_CACHE sets the parent folder.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

# Only what the window program and its tests need: Core, Gui, Widgets, PrintSupport, Test,
# the windows platform plugin, the Windows and Vista styles. Tablet support off: Debian's
# source lacks its third-party header. OpenGL stays on: the windows platform plugin of 6.4
# does not build without it (it is then loaded at run time, only if asked for).
options=(
    -DBUILD_SHARED_LIBS=OFF -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF
    -DFEATURE_tabletevent=OFF -DFEATURE_dbus=OFF -DFEATURE_sql=OFF -DFEATURE_network=OFF
    -DFEATURE_icu=OFF -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF -DFEATURE_concurrent=OFF
    -DFEATURE_xml=OFF -DFEATURE_vulkan=OFF -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF
    -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_freetype=OFF -DFEATURE_system_png=OFF
    -DFEATURE_system_doubleconversion=OFF -DFEATURE_system_libb2=OFF -DFEATURE_sql_sqlite=OFF
    -DFEATURE_printsupport=ON -DFEATURE_style_windowsvista=ON -DFEATURE_testlib=ON
    -DFEATURE_accessibility=ON
)

scripts/setup-windows.sh
qt_version=$(dpkg-query -W -f='${Version}' qt6-base-dev)
compiler=$(x86_64-w64-mingw32-g++-posix -dumpfullversion)
digest=$(printf '%s\n' "${options[@]}" "$(cat cmake/mingw-w64-x86_64.cmake)" | sha256sum | cut -c1-12)
cache=${QUELVAR_QT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/quelvar-gsm}
prefix=$cache/qt-${qt_version%%+*}-mingw-w64-gcc$compiler-static-$digest
if [ -f "$prefix/.complete" ]; then
    echo "$prefix"
    exit 0
fi

started=$(date +%s)

work=$cache/qt-build-$digest
rm -rf "$work"
src=$(scripts/deb-src.sh qt6-base "$qt_version" "$work")

cmake -S "$src" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64-x86_64.cmake" \
      -DCMAKE_INSTALL_PREFIX="$prefix" -DQT_HOST_PATH=/usr \
      -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake "${options[@]}" >&2
cmake --build "$work/build" -j"$(nproc)" >&2
cmake --install "$work/build" >&2
touch "$prefix/.complete"
rm -rf "$work"
echo "Qt $qt_version for Windows built in $(( ($(date +%s) - started) / 60 )) min" >&2
echo "$prefix"

#!/usr/bin/env bash
# Builds SQLite for 64-bit Windows (MinGW-w64, a static library) once, from Debian's own source
# package of the SQLite that the Linux build uses, into a cache folder outside the work tree.
# That source is SQLite's whole tree: its one-file sqlite3.c is made on the host (configure,
# then make sqlite3.c, which runs tclsh), then compiled with MinGW-w64. The folder's name
# carries the SQLite version, the compiler and a digest of the options, so a change of any of
# them builds a new one; when it is there, nothing is done. Prints the folder on the last line.
# QUELVAR_QT_CACHE sets the parent folder, the same as Qt's.
set -euo pipefail
cd "$(dirname "$0")/.."

# SQLite's defaults (serialized threads, foreign keys off until asked for) but for: no loadable
# extensions, as the program loads none and so no DLL comes in through a database; double
# quotes name a column only, so a misspelt one is an error rather than a string; in WAL mode a
# sync at each checkpoint, not each commit (a power cut may lose the last commits, never the
# database); the math functions, as SQLite's own build and so Debian's library have them.
options=(-O2 -DNDEBUG -DSQLITE_THREADSAFE=1 -DSQLITE_OMIT_LOAD_EXTENSION -DSQLITE_DQS=0
         -DSQLITE_DEFAULT_WAL_SYNCHRONOUS=1 -DSQLITE_ENABLE_MATH_FUNCTIONS)

scripts/setup-windows.sh
version=$(dpkg-query -W -f='${source:Version}' libsqlite3-dev)
compiler=$(x86_64-w64-mingw32-gcc-posix -dumpfullversion)
digest=$(printf '%s\n' "${options[@]}" | sha256sum | cut -c1-12)
cache=${QUELVAR_QT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/quelvar-gsm}
prefix=$cache/sqlite-$version-mingw-w64-gcc$compiler-static-$digest
if [ -f "$prefix/.complete" ]; then
    echo "$prefix"
    exit 0
fi
started=$(date +%s)

work=$cache/sqlite-build-$digest
rm -rf "$work" "$prefix"
src=$(scripts/deb-src.sh sqlite3 "$version" "$work")
mkdir "$work/host"
(cd "$work/host" && "$src/configure" --disable-tcl --disable-readline >&2 && make sqlite3.c >&2)

x86_64-w64-mingw32-gcc-posix "${options[@]}" -c "$work/host/sqlite3.c" -o "$work/sqlite3.o"
mkdir -p "$prefix/lib" "$prefix/include"
x86_64-w64-mingw32-ar rcs "$prefix/lib/libsqlite3.a" "$work/sqlite3.o"
cp "$work/host/sqlite3.h" "$src/src/sqlite3ext.h" "$prefix/include/"
touch "$prefix/.complete"
rm -rf "$work"
echo "SQLite $version for Windows built in $(( ($(date +%s) - started) / 60 )) min" >&2
echo "$prefix"

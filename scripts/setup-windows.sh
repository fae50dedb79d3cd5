#!/usr/bin/env bash
# Installs what the Windows cross build and its tests need, when any is missing: MinGW-w64
# (posix threads), GoogleTest's sources to build for the target, the host's C compiler and
# tclsh that make SQLite's one-file source, and Wine to run the tests.
set -euo pipefail

packages=(cmake make ninja-build dpkg-dev g++-mingw-w64-x86-64-posix googletest wine wine64
          qt6-base-dev qt6-base-dev-tools libsqlite3-dev gcc tcl nsis xvfb xauth
          fonts-liberation2)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}" >&2
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2

#!/usr/bin/env bash
# Fetches Debian's source package NAME at VERSION into FOLDER (apt-get source, which unpacks
# it and applies Debian's patches) and prints the unpacked tree. The deb-src entries it needs
# are made from the machine's own deb entries, so that the source comes from wherever this
# machine's packages come from.
#   scripts/deb-src.sh NAME VERSION FOLDER
set -euo pipefail
name=$1 version=$2 dir=$3

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"

src_list=/etc/apt/sources.list.d/quelvar-deb-src.sources
src_lines=/etc/apt/sources.list.d/quelvar-deb-src.list
if ! apt-cache showsrc "$name" 2>/dev/null | grep -q "^Version: $version$"; then
    {
        for f in /etc/apt/sources.list.d/*.sources; do
            [ "$f" = "$src_list" ] || sed -n 's/^Types:.*\bdeb\b.*/Types: deb-src/;p' "$f"
            echo
        done
    } | $sudo tee "$src_list.tmp" >/dev/null
    # Our own list skipped, and sed rather than grep: a list with no deb line must not end the
    # script.
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        if [ -f "$f" ] && [ "$f" != "$src_lines" ]; then
            sed -n 's/^deb\s/deb-src /p' "$f"
        fi
    done | $sudo tee "$src_lines" >/dev/null
    $sudo mv "$src_list.tmp" "$src_list"
    $sudo apt-get update -qq >&2
fi

mkdir -p "$dir"
(cd "$dir" && apt-get source -qq "$name=$version" >&2)
find "$dir" -mindepth 1 -maxdepth 1 -type d -name "$name-*" | head -n 1

#!/usr/bin/env bash
# Configures and builds into build/ (or build-<sanitizers>/ with --sanitize LIST).
# Prints the build folder on its last line.
set -euo pipefail
cd "$(dirname "$0")/.."

sanitize=""
build_type=RelWithDebInfo
while [ $# -gt 0 ]; do
    case "$1" in
        --sanitize) sanitize="$2"; shift 2 ;;
        --debug) build_type=Debug; shift ;;
        *) echo "unknown option $1" >&2; exit 64 ;;
    esac
done

dir=build
[ -n "$sanitize" ] && dir="build-${sanitize//,/-}"
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE="$build_type" -DQUELVAR_SANITIZE="$sanitize" \
      -DQUELVAR_WERROR=ON >/dev/null
cmake --build "$dir" -j"$(nproc)" >&2
echo "$dir"

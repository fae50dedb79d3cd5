#!/usr/bin/env bash
# Sets up, builds and runs the benchmarks; they print figures and end with a summary.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
dir=$(scripts/build.sh | tail -n 1)
QT_QPA_PLATFORM=offscreen "$dir/bench/quelvar-bench"

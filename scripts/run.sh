#!/usr/bin/env bash
# Sets up, builds and starts the tool against the simulated communicator.
# Extra arguments go to the program (e.g. drop --simulate by calling the binary yourself).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
dir=$(scripts/build.sh | tail -n 1)
exec "$dir/src/cli/quelvar-gsm-cli" status --simulate "$@"

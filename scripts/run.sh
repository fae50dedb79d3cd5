#!/usr/bin/env bash
# Sets up, builds and starts the window program against the simulated communicator.
# Extra arguments go to the program. Against a real device: build/src/app/quelvar-gsm
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
dir=$(scripts/build.sh | tail -n 1)
exec "$dir/src/app/quelvar-gsm" --simulate "$@"

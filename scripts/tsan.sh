#!/usr/bin/env bash
# Builds the core's test programs with ThreadSanitizer into build-tsan/ and runs them: the link's
# receiver thread, the simulator's worker and the exchanges' waits. The first race reported ends
# the run with a non-zero exit.
set -euo pipefail
cd "$(dirname "$0")/.."

tests=(test_link test_sim test_exchange)

scripts/setup.sh
dir=build-tsan
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUELVAR_SANITIZE=thread \
      -DQUELVAR_WERROR=ON >/dev/null
cmake --build "$dir" -j"$(nproc)" --target "${tests[@]}" >&2

export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"
for t in "${tests[@]}"; do
    start=$SECONDS
    "$dir/tests/$t" --gtest_brief=1
    echo "tsan $t: clean in $((SECONDS - start)) s"
done

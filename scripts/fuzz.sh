#!/usr/bin/env bash
# Builds the fuzz targets with clang into build-fuzz/ and runs each for SECONDS (default 30) on a
# copy of its seed corpus, so the repository's corpus never changes. Exits non-zero when a target
# crashes or breaks an invariant; the input that did it stays in build-fuzz/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-30}"
targets=(dispatch settings_file alarm_image input_image key_filter)
# Every settings-file input costs a full load and two saves, each looking up some 480 keys line
# by line; shorter inputs exercise the same line rules many times faster. Qt keeps caches from one
# input to the next, so a leak check after each would scan its whole heap nearly every time; the
# check at the end of the run stays.
declare -A options=([settings_file]="-max_len=2048" [key_filter]="-detect_leaks=0")

scripts/setup.sh
dir=build-fuzz
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 \
      -DQUELVAR_FUZZ=ON -DQUELVAR_BUILD_TESTS=OFF -DQUELVAR_WERROR=ON >/dev/null
cmake --build "$dir" -j"$(nproc)" --target fuzz_all >&2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$dir/artifacts"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

summary=()
failed=0
for t in "${targets[@]}"; do
    mkdir -p "$work/$t"
    cp -r "fuzz/corpus/$t/." "$work/$t/"
    log="$dir/fuzz_$t.log"
    status=0
    # shellcheck disable=SC2086  # the options are separate words
    "$dir/fuzz/fuzz_$t" ${options[$t]:-} -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$dir/artifacts/${t}-" "$work/$t" >"$log" 2>&1 || status=$?
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    took=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log" | tail -n 1)
    if [ "$status" -eq 0 ]; then
        summary+=("fuzz $t: ${execs:-0} execs in ${took:-$seconds} s, no crash")
    else
        failed=1
        summary+=("fuzz $t: CRASH after ${execs:-?} execs (exit $status), see $log")
        tail -n 40 "$log" >&2
    fi
done

printf '%s\n' "${summary[@]}"
exit "$failed"

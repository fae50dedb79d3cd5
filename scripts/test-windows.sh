#!/usr/bin/env bash
# Runs the Windows build (scripts/build-windows.sh) under Wine, inside a virtual X display:
#  1. the core's test suites, the command line's process tests and the window's tests (ctest;
#     each .exe through scripts/wine-run.sh, the window's QtTest programs through
#     scripts/wine-qtest.sh on the windows platform);
#  2. quelvar-gsm-cli.exe status on the real Windows backend (Wine's device setup finds no
#     communicator): "No communicator found", exit code 1;
#  3. the settings file that the Windows `read` writes from a simulator state is byte for byte
#     the one the Linux build's `read` writes from a copy of the same state (and so is the
#     state each leaves behind). The Linux program: build/src/cli/quelvar-gsm-cli, or $1.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
dir=$repo/build-windows
linux_cli=${1:-$repo/build/src/cli/quelvar-gsm-cli}
windows_cli=$dir/src/cli/quelvar-gsm-cli.exe

scripts/setup-windows.sh
# The window tests need an X display for Wine's windows: without one (CI), the whole run goes
# into a virtual one.
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$repo/scripts/test-windows.sh" "$@"
fi
export WINEPREFIX=$dir/wine-prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# One Wine server of this build's own prefix for the whole run: each .exe then starts in a
# fraction of a second. wineboot makes the prefix the first time (which takes a while) and
# starts Wine's background services with their output elsewhere: started instead by the first
# test that calls the device setup, they would inherit its output, and ctest would wait for
# that to close until the test's time limit.
wineserver --kill 2>/dev/null || true
wineserver --wait 2>/dev/null || true
# A fresh prefix each run: one left by an interrupted run can keep a desktop that no longer
# has its display, and then no window can be created.
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
wineserver --persistent
wineboot --init >/dev/null 2>&1
trap 'wineserver --kill 2>/dev/null || true' EXIT

# Under load Wine now and then fails to start a program at all (no output, exit code not 0,
# in a hundredth of a second): a test that fails is run once more, and the run names every
# test that needed it, so that a test failing for its own reasons still shows. The Linux runs
# take no second chance.
ctest_log=$(mktemp)
run_ctest() {
    ctest --test-dir "$dir" --output-on-failure --repeat until-pass:2 "$@" 2>&1 | tee -a "$ctest_log"
}
echo "== Windows build: core, command-line and window tests under Wine"
run_ctest -j"$(nproc)" --timeout 300 -E '^ui\.'
# The window tests alone and one at a time: a window program started beside another Wine
# program with windows could be refused its own (CreateWindowEx failed).
run_ctest -j1 --timeout 600 -R '^ui\.'
retried=$(sed -n 's/^.*Test *#[0-9]*: \([^ ]*\) .*\*\*\*.*$/\1/p' "$ctest_log" | sort -u)
echo "Tests that passed only when run a second time: ${retried:-none}" | tr '\n' ' '
echo
rm -f "$ctest_log"
excluded=$(sed -n 's/^QUELVAR_UI_TESTS_NOT_UNDER_WINE:STRING=//p' "$dir/CMakeCache.txt")
echo "Window test programs run: $(ctest --test-dir "$dir" -N -R '^ui\.' | grep -c 'Test *#')," \
     "left out under Wine: ${excluded:-none}"

echo "== Windows build: status on the real Windows backend"
set +e
status_out=$(scripts/wine-run.sh "$windows_cli" status --wait 1 2>&1)
status_code=$?
set -e
echo "$status_out (exit code $status_code)"
if [ "$status_code" -ne 1 ] || ! grep -q "No communicator found" <<<"$status_out"; then
    echo "FAIL: expected \"No communicator found\" and exit code 1" >&2
    exit 1
fi

echo "== Settings files of the Windows and the Linux build, byte for byte"
if [ ! -x "$linux_cli" ]; then
    scripts/setup.sh
    cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build build -j"$(nproc)" --target quelvar-gsm-cli >&2
fi
work=$dir/compare
rm -rf "$work"
mkdir -p "$work"
cd "$work"
# A device state that is not the factory one: a real settings file written to the simulator.
cp "$repo/fuzz/corpus/settings_file/from_device.am2" site.am2
"$linux_cli" write site.am2 --sim-state linux.state -q >/dev/null || [ $? -eq 4 ]
cp linux.state windows.state
"$linux_cli" read linux.am2 --sim-state linux.state -q
"$repo/scripts/wine-run.sh" "$windows_cli" read windows.am2 --sim-state windows.state -q
cmp linux.am2 windows.am2
cmp linux.state windows.state
echo "identical: $(wc -c <linux.am2) bytes of settings file, $(wc -c <linux.state) bytes of state"
cd "$repo"

installer=$(ls -t "$dir"/quelvar-gsm-*-setup.exe 2>/dev/null | head -n 1)
if [ -n "$installer" ]; then
    echo "== The installer under Wine: $(basename "$installer")"
    scripts/check-installer.sh "$installer"
else
    echo "No installer was built (no Qt for Windows): not checked" >&2
    [ "${QUELVAR_NO_QT:-0}" = 1 ] || exit 1
fi

#!/bin/sh
# A settings file named on the command line opens its dialog before the window's event loop
# runs: a file with findings asks whether to load it anyway, one that is no settings file says
# so. SIGTERM, SIGHUP or SIGINT then ends the program as promptly as at any other time: exit
# code 0 and the simulated communicator's state file written.
app=$1
. "$(dirname "$0")/StopAfterStart.sh"
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
printf '[GSM]\r\nSIMPIN=1234\r\n' >"$dir/findings.am2"  # every other setting missing
printf 'Not a settings file\r\n' >"$dir/other.am2"
for run in findings:TERM findings:HUP findings:INT other:TERM other:HUP other:INT; do
    file=${run%:*}
    signal=${run#*:}
    state="$dir/$file-$signal.state"
    "$app" --sim-state "$state" "$dir/$file.am2" &
    stop_after_start $! $signal 2
    if [ $code -eq 137 ]; then
        echo "SIG$signal during the dialog of $file.am2: still running 2 s later"
        exit 1
    fi
    if [ $code -ne 0 ]; then
        echo "SIG$signal during the dialog of $file.am2: exit code $code"
        exit 1
    fi
    if ! head -n 1 "$state" | grep -q '^quelvar-sim-state 1$'; then
        echo "SIG$signal during the dialog of $file.am2: no state file"
        exit 1
    fi
done
echo "ended during the dialogs"

#!/bin/sh
# The window program ended by SIGTERM, SIGHUP or SIGINT ends as closing it does: exit code 0 and
# the simulated communicator's state file written, also while a dialog is open. Killed outright
# it would exit 128 + signal.
app=$1
. "$(dirname "$0")/StopAfterStart.sh"
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
for signal in TERM HUP INT; do
    "$app" --sim-state "$dir/$signal.state" &
    stop_after_start $! $signal 10
    if [ $code -ne 0 ]; then
        echo "SIG$signal: exit code $code"
        exit 1
    fi
    if ! head -n 1 "$dir/$signal.state" | grep -q '^quelvar-sim-state 1$'; then
        echo "SIG$signal: no state file"
        exit 1
    fi
done
# While the password dialog of the log-in is open: the program ends as promptly, and the
# device's password is what it was.
sed 's/^param PW=.*/param PW=4339/' "$dir/TERM.state" >"$dir/locked.state"
"$app" --sim-state "$dir/locked.state" &
stop_after_start $! TERM 10
if [ $code -ne 0 ]; then
    echo "SIGTERM during the password dialog: exit code $code"
    exit 1
fi
if ! grep -q '^param PW=4339$' "$dir/locked.state"; then
    echo "SIGTERM during the password dialog: the password changed"
    exit 1
fi
echo "state kept"

#!/bin/sh
# The window program ended by SIGTERM, SIGHUP or SIGINT ends as closing it does: exit code 0 and
# the simulated communicator's state file written. Killed outright it would exit 128 + signal.
app=$1
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
for signal in TERM HUP INT; do
    "$app" --sim-state "$dir/$signal.state" &
    pid=$!
    sleep 2
    kill -$signal $pid
    wait $pid
    code=$?
    if [ $code -ne 0 ]; then
        echo "SIG$signal: exit code $code"
        exit 1
    fi
    if ! head -n 1 "$dir/$signal.state" | grep -q '^quelvar-sim-state 1$'; then
        echo "SIG$signal: no state file"
        exit 1
    fi
done
echo "state kept"

# Sourced by the stop-signal tests. stop_after_start PID SIGNAL LIMIT: lets the program started
# as PID run for 2 s, sends it SIGNAL and waits for it, killing it LIMIT s later should it run
# on; `code` is then its exit status (137 when it had to be killed). The watchdog's sleep keeps
# no output of the test's run open.
stop_after_start() {
    sleep 2
    kill -"$2" "$1"
    (
        sleep "$3"
        kill -KILL "$1" 2>/dev/null
    ) >/dev/null 2>&1 &
    watchdog=$!
    wait "$1"
    code=$?
    kill $watchdog 2>/dev/null
}

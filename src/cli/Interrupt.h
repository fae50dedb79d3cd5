#pragma once
// Ctrl+C, SIGTERM and SIGHUP during a command: the command stops after the exchange in flight, says
// what the device now holds and exits 128 + the signal's number, leaving no temporary file behind.

namespace quelvar::cli {

// From now on SIGINT, SIGTERM and SIGHUP (not on Windows) only note the signal. A blocking read of
// the terminal then ends (where the system allows), so a password prompt is left too.
void CatchInterrupts();
// The signal's number once one came; 0 before.
int InterruptSignal();
// 130 for SIGINT, 143 for SIGTERM, 129 for SIGHUP.
int InterruptExitCode();

}  // namespace quelvar::cli

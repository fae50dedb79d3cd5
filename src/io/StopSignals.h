#pragma once
// SIGINT, SIGTERM and SIGHUP (Ctrl+C, a shutdown, a dropped session) only noted, for a program
// that then ends in its own time: after the exchange in flight, with what it holds kept.

namespace quelvar::io {

// From now on these signals (SIGHUP not on Windows) only note themselves. With
// `restartInterruptedCalls` false, a blocking read of the terminal returns when one comes, so a
// password prompt is left too; an event loop wants them restarted.
void NoteStopSignals(bool restartInterruptedCalls);
// The signal's number once one came; 0 before.
int StopSignal();

}  // namespace quelvar::io

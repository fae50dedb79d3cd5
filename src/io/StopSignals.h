#pragma once
// SIGINT, SIGTERM and SIGHUP (Ctrl+C, a shutdown, a dropped session) only noted, for a program
// that then ends in its own time: after the exchange in flight, with what it holds kept.

namespace quelvar::io {

// From now on these signals (SIGHUP not on Windows) only note themselves. With
// `restartInterruptedCalls` false, a blocking read of the terminal returns when one comes, so a
// password prompt is left too; an event loop wants them restarted. Never fails: where no pipe
// (on Windows no event) can be made to wake a loop, the flag alone tells.
void NoteStopSignals(bool restartInterruptedCalls);
// The signal's number once one came; 0 before.
int StopSignal();

// What an event loop waits on to learn of a stop signal without looking at the flag over and
// over: it becomes ready when one comes. Made by NoteStopSignals; before it, none.
#ifdef _WIN32
// An event object (a HANDLE) that a stop signal sets; nullptr before, or when none was made.
void* StopSignalEvent();
#else
// The read end of a pipe that a stop signal writes a byte to; -1 before, or when none was made.
// Non-blocking.
int StopSignalPipe();
#endif

}  // namespace quelvar::io

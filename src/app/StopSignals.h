#pragma once
// SIGTERM, SIGHUP and SIGINT (a shutdown, a logout, Ctrl+C in the terminal) end the window
// program as closing it does, so that what the simulated device holds is kept.

namespace quelvar::app {

// From now on these signals only note themselves; the application then quits at once as
// if its window were closed (exit code 0), and main keeps the simulated state as usual.
void QuitOnStopSignals();

// QApplication::exec(), unless a stop signal came already. One that came while a dialog of the
// start-up ran (before the application's loop began) ended only that dialog's loop, and a loop
// begun after it would run on as if none had come.
int ExecUnlessStopped();

}  // namespace quelvar::app

#pragma once
// What a command prints on standard output must reach it: a full disk, a closed or broken
// output is said and gives an exit code of its own, never a success with half a listing.

namespace quelvar::cli {

// Call before anything is opened: std::cout then writes standard output through a buffer that
// keeps the reason of the first failure. A closed standard output counts as failed at once,
// and its number is held by a stand-in, so that no file the command opens takes it and
// receives what was meant for the output.
void TakeStandardOutput();

// Flushes and closes standard output. `code` when everything printed reached it; otherwise
// "write error: REASON" on standard error and kExitOutput.
int CheckStandardOutput(int code);

}  // namespace quelvar::cli

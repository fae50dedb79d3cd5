#include "cli/Interrupt.h"

#include "io/StopSignals.h"

namespace quelvar::cli {

void CatchInterrupts() {
    // Not restarted, so that a read of the terminal returns instead of waiting on.
    io::NoteStopSignals(false);
}

int InterruptSignal() {
    return io::StopSignal();
}

int InterruptExitCode() {
    return 128 + InterruptSignal();
}

}  // namespace quelvar::cli

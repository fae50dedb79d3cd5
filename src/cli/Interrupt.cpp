#include "cli/Interrupt.h"

#include <csignal>

namespace quelvar::cli {

namespace {

volatile std::sig_atomic_t caught = 0;

extern "C" void NoteSignal(int signal) {
    caught = signal;
}

}  // namespace

void CatchInterrupts() {
#ifdef _WIN32
    std::signal(SIGINT, NoteSignal);
    std::signal(SIGTERM, NoteSignal);
#else
    // Without SA_RESTART, so that a read of the terminal returns instead of waiting on.
    struct sigaction action {};
    action.sa_handler = NoteSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
#endif
}

int InterruptSignal() {
    return caught;
}

int InterruptExitCode() {
    return 128 + InterruptSignal();
}

}  // namespace quelvar::cli

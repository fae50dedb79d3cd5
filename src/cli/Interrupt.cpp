#include "cli/Interrupt.h"

#include <atomic>
#include <csignal>

namespace quelvar::cli {

namespace {

// Lock-free, so the handler may set it, also from the thread that Windows runs it on.
std::atomic<int> caught{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void NoteSignal(int signal) {
    caught = signal;
#ifdef _WIN32
    std::signal(signal, NoteSignal);  // the runtime resets the handler at each signal
#endif
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
    // A dropped remote session is no reason to lose what the run wrote.
    sigaction(SIGHUP, &action, nullptr);
#endif
}

int InterruptSignal() {
    return caught;
}

int InterruptExitCode() {
    return 128 + InterruptSignal();
}

}  // namespace quelvar::cli

#include "io/StopSignals.h"

#include <atomic>
#include <csignal>

namespace quelvar::io {

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

void NoteStopSignals([[maybe_unused]] bool restartInterruptedCalls) {
#ifdef _WIN32
    std::signal(SIGINT, NoteSignal);
    std::signal(SIGTERM, NoteSignal);
#else
    struct sigaction action {};
    action.sa_handler = NoteSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = restartInterruptedCalls ? SA_RESTART : 0;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
#endif
}

int StopSignal() {
    return caught;
}

}  // namespace quelvar::io

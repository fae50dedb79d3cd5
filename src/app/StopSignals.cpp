#include "app/StopSignals.h"

#include <QCoreApplication>
#include <QTimer>
#include <atomic>
#include <csignal>

namespace quelvar::app {

namespace {

std::atomic<int> caught{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void NoteSignal(int signal) {
    caught = signal;
#ifdef _WIN32
    std::signal(signal, NoteSignal);  // the runtime resets the handler at each signal
#endif
}

// Only a flag may be set in a signal handler; the event loop looks at it.
constexpr int kLookMs = 100;

}  // namespace

void QuitOnStopSignals() {
#ifdef _WIN32
    std::signal(SIGINT, NoteSignal);
    std::signal(SIGTERM, NoteSignal);
#else
    struct sigaction action {};
    action.sa_handler = NoteSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
        sigaction(signal, &action, nullptr);
    }
#endif
    auto* look = new QTimer(QCoreApplication::instance());
    QObject::connect(look, &QTimer::timeout, [] {
        if (caught != 0) {
            // Every event loop ends, a dialog's too; a sequence under way ends first.
            QCoreApplication::exit(0);
        }
    });
    look->start(kLookMs);
}

}  // namespace quelvar::app

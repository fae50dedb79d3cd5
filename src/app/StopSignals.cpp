#include "app/StopSignals.h"

#include <QApplication>
#include <QCoreApplication>
#include <QTimer>

#ifdef _WIN32
#include <QWinEventNotifier>
#else
#include <unistd.h>
#include <QSocketNotifier>
#endif

#include "io/StopSignals.h"

namespace quelvar::app {

namespace {

void QuitIfStopped() {
    if (io::StopSignal() != 0) {
        // Every event loop ends, a dialog's too; a sequence under way ends first.
        QCoreApplication::exit(0);
    }
}

// Only where the wake-up could not be made.
void LookOnATimer() {
    constexpr int kLookMs = 100;
    auto* look = new QTimer(QCoreApplication::instance());
    QObject::connect(look, &QTimer::timeout, [] { QuitIfStopped(); });
    look->start(kLookMs);
}

}  // namespace

void QuitOnStopSignals() {
    io::NoteStopSignals(true);
    // Woken by the signal itself rather than looking at the flag on a timer, which would cost
    // the idle program ten wake-ups a second.
#ifdef _WIN32
    if (io::StopSignalEvent() == nullptr) {
        LookOnATimer();
        return;
    }
    auto* wake = new QWinEventNotifier(io::StopSignalEvent(), QCoreApplication::instance());
    QObject::connect(wake, &QWinEventNotifier::activated, [] { QuitIfStopped(); });
#else
    const int fd = io::StopSignalPipe();
    if (fd < 0) {
        LookOnATimer();
        return;
    }
    auto* wake = new QSocketNotifier(fd, QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(wake, &QSocketNotifier::activated, [fd] {
        char bytes[16];
        while (read(fd, bytes, sizeof bytes) > 0) {
        }
        QuitIfStopped();
    });
#endif
}

int ExecUnlessStopped() {
    // A signal from now on wakes the loop below: its pipe or event holds it until then.
    if (io::StopSignal() != 0) {
        return 0;  // as the loop returns when a signal quits it
    }
    return QApplication::exec();
}

}  // namespace quelvar::app

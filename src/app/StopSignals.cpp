#include "app/StopSignals.h"

#include <QCoreApplication>
#include <QTimer>

#include "io/StopSignals.h"

namespace quelvar::app {

namespace {

// Only a flag may be set in a signal handler; the event loop looks at it.
constexpr int kLookMs = 100;

}  // namespace

void QuitOnStopSignals() {
    io::NoteStopSignals(true);
    auto* look = new QTimer(QCoreApplication::instance());
    QObject::connect(look, &QTimer::timeout, [] {
        if (io::StopSignal() != 0) {
            // Every event loop ends, a dialog's too; a sequence under way ends first.
            QCoreApplication::exit(0);
        }
    });
    look->start(kLookMs);
}

}  // namespace quelvar::app

// The window's side of the connection monitor: its clock's handler, and what the window does
// when a device comes or goes.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

#include "ui/Gsm.h"
#include "ui/ReconnectPanel.h"

namespace quelvar::ui {

namespace {

void PauseProcessingMessages(int ms) {
    // Keeps painting while it waits; the running sequence keeps other input out.
    QElapsedTimer elapsed;
    elapsed.start();
    while (elapsed.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
}

}  // namespace

void TFormMain::Timer1Timer() {
    Timer1.stop();
    try {
        monitor_.Follow();
        ui.pnlNoSettings->OfferLogIn(monitor_.LogInPossible(sequenceRunning_) && !DeviceLoggedIn());
        ui.actLogInAgain->setEnabled(monitor_.LogInPossible(sequenceRunning_));
        ShowAttachedDevices();
    } catch (...) {
        // A failed tick ends quietly; the next one starts afresh.
    }
    Timer1.setInterval(kTickInterval);
    Timer1.start();
    emit ticked();
}

SequenceGuard::~SequenceGuard() {
    if (!owns_) {
        return;
    }
    form_.sequenceRunning_ = false;
    if (form_.connection) {
        form_.connection->PinAttachment(0);
    }
    // Whatever the sequence wrote, read, loaded or left unknown (loads and the offline view
    // included: each runs as a sequence).
    form_.ui.ShowPendingMark(form_.pending_.Image());
    if (form_.monitor_.State().Held()) {
        form_.monitor_.CatchUpSoon();
    }
    emit form_.sequenceEnded();
}

bool TFormMain::DeviceLoggedIn() const {
    return monitor_.DeviceLoggedIn();
}

void TFormMain::ConnectTransition() {
    SequenceGuard sequence(*this);
    file_.AskToSaveOfflineEdits();
    monitor_.State().Connected();
    ui.SetStatusText(0, kUsbConnected);
    // Whatever the last sequence said is about another state.
    ui.SetStatusText(2, QString());
    ui.pb1->show();
    PauseProcessingMessages(100);
    LogIn();
}

void TFormMain::DisconnectTransition() {
    // The firmware and the last sequence's result were the device's; a file shown offline and
    // what a cut sequence left on the device stay said.
    if (!document_.Offline()) {
        ui.SetStatusText(1, QString());
        ui.ClearLastResult();
    }
    file_.OfferSaveBeforeDisconnect();
    monitor_.State().Disconnected();
    sites_.Clear();
    ui.SetStatusText(0, kUsbDisconnected);
    ui.gbMset->hide();
    ui.ToolBar1->hide();
    ui.pb1->hide();
}

}  // namespace quelvar::ui

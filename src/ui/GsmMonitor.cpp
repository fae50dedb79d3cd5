// The connection monitor: one tick every 500 ms follows the link and shows the live state.

#include <QApplication>
#include <QTimer>
#include <charconv>
#include <mutex>

#include "ui/DeviceLog.h"
#include "ui/Gsm.h"
#include "ui/QtText.h"
#include "ui/ReconnectPanel.h"

namespace quelvar::ui {

namespace {

const QColor kGreen(0, 55, 0);
const QColor kRed(255, 0, 0);

void Show(QLabel* label, const std::string& text, std::optional<bool> quiet) {
    label->setText(FromCp1250(text));
    if (quiet) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, *quiet ? kGreen : kRed);
        label->setPalette(palette);
    }
}

std::optional<int> WholeNumber(const std::string& text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

void TFormMain::Timer1Timer() {
    Timer1.stop();
    try {
        if (connection) {
            bool update = false;
            bool permissionDenied = false;
            std::array<std::string, 5> texts;
            std::string event;
            std::uint64_t dropped = 0;
            const std::vector<link::StatusRecord> records = connection->TakeStatusRecords(dropped);
            const link::LinkSnapshot seen = connection->Snapshot();
            if (seen.hasDevice) {
                deviceState_.Saw(seen.attached, seen.attachment);
                if (seen.attached && deviceState_.StatusDue()) {
                    update = true;
                    texts = {seen.input1State, seen.input2State, seen.simStatus, seen.gsmSignal,
                             seen.lineState};
                    event = connection->TakeEventLine();
                }
                permissionDenied =
                    !seen.attached && seen.openError == link::OpenError::kPermissionDenied;
            }
            if (!seen.hasDevice || !seen.attached) {
                ShowNoStatus();  // a device's last report says nothing once it is gone
            }
            deviceLog->Add(records);
            deviceLog->SetAttached(deviceState_.SeenAttached());
            if (update) {
                UpdateStatus(texts, event);
            }
            ShowPermissionProblem(permissionDenied);
        }
        RunDueTransitions();
        pnlNoSettings->OfferLogIn(LogInPossible() && !DeviceLoggedIn());
        actLogInAgain->setEnabled(LogInPossible());
    } catch (...) {
        // A failed tick ends quietly; the next one starts afresh.
    }
    Timer1.setInterval(kTickInterval);
    Timer1.start();
    emit ticked();
}

void TFormMain::RunDueTransitions() {
    const bool due = deviceState_.TransitionDue();
    // A log-in inside a dialog's loop would overwrite the grids under the user's edit; the
    // dialog's close or the sequence's end catches up.
    deviceState_.Hold(due && TransitionsHeld());
    if (!due || deviceState_.Held()) {
        return;
    }
    if (deviceState_.ConnectedShown()) {
        DisconnectTransition();
    }
    if (deviceState_.SeenAttached()) {
        ConnectTransition();
    }
}

bool TFormMain::TransitionsHeld() const {
    return sequenceRunning_ || QApplication::activeModalWidget() != nullptr;
}

void TFormMain::CatchUpSoon() {
    QTimer::singleShot(0, this, [this] {
        if (deviceState_.Held() && !TransitionsHeld()) {
            Timer1Timer();
        }
    });
}

void TFormMain::SequenceEnded() {
    if (connection) {
        connection->PinAttachment(0);
    }
    if (deviceState_.Held()) {
        CatchUpSoon();
    }
    emit sequenceEnded();
}

bool TFormMain::SameAttachmentAsConnected() const {
    return connection && deviceState_.IsConnected(connection->Attachment());
}

bool TFormMain::LoggedInDevice() {
    const std::uint64_t now = connection ? connection->Attachment() : 0;
    if (deviceState_.IsLoggedIn(now)) {
        // For the rest of the sequence: a device plugged in while it runs gets nothing.
        connection->PinAttachment(now);
        return true;
    }
    if (now == 0) {
        SetStatusText(2, kNotConnected);
    } else if (!deviceState_.ConnectedShown() || !deviceState_.IsConnected(now)) {
        SetStatusText(2, kReplugged);
    } else {
        SetStatusText(2, kNotLoggedIn);
        return false;
    }
    // The monitor follows the device at once rather than at its next tick.
    deviceState_.Hold(true);
    CatchUpSoon();
    return false;
}

void TFormMain::ShowPermissionProblem(bool denied) {
    if (denied && !permissionShown_) {
        SetStatusText(2, kNoPermission);
    } else if (!denied && permissionShown_ && StatusText(2) == kNoPermission) {
        SetStatusText(2, QString());
    }
    permissionShown_ = denied;
}

void TFormMain::UpdateStatus(const std::array<std::string, 5>& texts, const std::string& event) {
    const auto& [input1, input2, sim, signal, line] = texts;
    Show(stINPUT1, input1, input1 == "IDLE");
    Show(stINPUT2, input2, input2 == "IDLE");
    if (sim != "%null%") {
        Show(stPIN, sim, std::nullopt);
    }
    // A signal that is no whole number (none came yet, say) keeps its colour and stops
    // nothing else.
    const std::optional<int> level = WholeNumber(signal);
    Show(stGSM, signal, level ? std::optional<bool>(*level > 15) : std::nullopt);
    Show(stLINE, line, line == "ONHOOK");
    if (event != link::kNoEvent && !event.empty()) {
        lbEvents->addItem(FromCp1250(event));
        if (lbEvents->count() > kMaxEventLines) {
            delete lbEvents->takeItem(0);
        }
    }
}

bool TFormMain::LogInPossible() const {
    return connection && connection->IsAttached() && deviceState_.ConnectedShown() &&
           SameAttachmentAsConnected() && !sequenceRunning_;
}

void TFormMain::AddLogInAgain() {
    mnuMore->addSeparator();
    actLogInAgain = mnuMore->addAction("Log in again", this, &TFormMain::LogInAgain);
    actLogInAgain->setEnabled(false);
    connect(pnlNoSettings, &ReconnectPanel::logInClicked, this, &TFormMain::LogInAgain);
    connect(pnlNoSettings, &ReconnectPanel::openFileClicked, this, &TFormMain::tbtnOpenClick);
}

void TFormMain::ShowNoStatus() {
    for (QLabel* label : {stINPUT1, stINPUT2, stPIN, stGSM, stLINE}) {
        if (label->text() != "-") {
            Show(label, "-", true);
        }
    }
}

void TFormMain::ConnectTransition() {
    SequenceGuard sequence(*this);
    AskToSaveOfflineEdits();
    deviceState_.Connected();
    SetStatusText(0, kUsbConnected);
    // Whatever the last sequence said is about another state.
    SetStatusText(2, QString());
    pb1->show();
    PauseProcessingMessages(100);
    LogIn();
}

void TFormMain::DisconnectTransition() {
    // The firmware and the last sequence's result were the device's; a file shown offline and
    // what a cut sequence left on the device stay said.
    if (!document_.Offline()) {
        SetStatusText(1, QString());
        ClearLastResult();
    }
    OfferSaveBeforeDisconnect();
    deviceState_.Disconnected();
    SetStatusText(0, kUsbDisconnected);
    gbMset->hide();
    ToolBar1->hide();
    pb1->hide();
}

}  // namespace quelvar::ui

// Log-in, the initial read of everything, and the layout of the operating mode.

#include <charconv>

#include "ui/Gsm.h"
#include "ui/Passwd.h"
#include "ui/QtText.h"

namespace quelvar::ui {

using settings::TableId;

namespace {

std::optional<long long> DecimalNumber(const std::string& text) {
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

void TFormMain::LogIn() {
    bool wrongBefore = false;
    for (;;) {
        // The password is read anew on every pass; no answer reads as 0, which no entry
        // gives, so only Cancel (or the device going away) ends such a loop.
        const std::string text = GetParameter("PW");
        long long password = 0;
        if (!text.empty()) {
            const std::optional<long long> number = DecimalNumber(text);
            if (!number) {
                return;
            }
            password = *number;
        }
        long long result = kNoPassword;
        if (password != kNoPassword) {
            // A device pulled during the read of "PW" reads as 0: asking for its password
            // would hold the disconnect off screen until the user answered.
            if (passwdFrm_ == nullptr || !SameAttachmentAsConnected()) {
                return;
            }
            passwdFrm_->setWindowTitle("Password");
            passwdFrm_->lbx1->setText(wrongBefore ? kWrongPassword : "Enter password:");
            PlacePasswordDialog();
            result = passwdFrm_->ShowModal();
        }
        // The password answers for the device it was read from, not for one plugged in
        // while the dialog was open: that one gets a log-in of its own.
        if (!SameAttachmentAsConnected()) {
            transitionHeld_ = connection->IsAttached();
            return;
        }
        if (result == password) {
            loggedInAttachment_ = connectedAttachment_;
            InitialRead();
            return;
        }
        if (result == -1) {
            // The window stays blank: it says why and what to do.
            SetStatusText(2, kLogInCancelled);
            return;
        }
        wrongBefore = true;
    }
}

void TFormMain::InitialRead() {
    exchange->ResetUnanswered();
    for (TableId id : settings::kLogInReadOrder) {
        ReadTableFromDevice(model.Rule(id));
    }
    SetSaveToDevImage(kSavedImage);
    ShowDeviceView();
    ToolBar1->show();
    gbMset->show();
    SelectOpMode(settings::ModeIndexOfName(GetParameter("SMODE")));
    ApplyModeLayout(OpModeIndex() == 0 ? Mode::kStandalone : Mode::kTransparent);
    const exchange::EventReadOutcome alarms = ReadAlarmTable();
    const exchange::EventReadOutcome inputs = ReadInputTable();
    if (alarms == exchange::EventReadOutcome::kFailed ||
        inputs == exchange::EventReadOutcome::kFailed) {
        SetStatusText(2, "The event tables could not be read");
    } else if (const int unanswered = exchange->Unanswered().gets; unanswered > 0) {
        // Those cells show empty; a write-back would clear the values on the device.
        SetStatusText(2, QString("%1 settings went unanswered and show empty").arg(unanswered));
    }
    const bool complete = exchange->Unanswered().gets == 0 &&
                          alarms == exchange::EventReadOutcome::kRead &&
                          inputs == exchange::EventReadOutcome::kRead;
    heldFirmware_ = GetParameter("VSTR");
    SetStatusText(1, kFirmwareVersion + FromCp1250(heldFirmware_));
    DeviceSettingsRead(complete);
    RememberHeld(OpModeIndex());
}

void TFormMain::rgOpModeClick() {
    SequenceGuard sequence(*this);
    if (!sequence.Started() || OpModeIndex() == shownMode_) {
        return;
    }
    ApplyModeLayout(OpModeIndex() == 0 ? Mode::kStandalone : Mode::kTransparent);
    MarkIfModeDiffersFromHeld();
}

void TFormMain::ApplyModeLayout(Mode mode) {
    const bool standalone = mode == Mode::kStandalone;
    shownMode_ = standalone ? 0 : 1;
    for (QGroupBox* events : {gbExtevents, gbIntevents}) {
        events->setVisible(standalone);
        events->setEnabled(standalone);
    }
    gbPhnrs1->setVisible(standalone);
    gbMonParams->setVisible(!standalone);
    // The offline view asks no device for its marks.
    if (!standalone || !DeviceLoggedIn()) {
        return;
    }
    ackMask = settings::ShowAckMask(model, GetParameter("GACK"));
}

}  // namespace quelvar::ui

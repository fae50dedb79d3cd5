// Log-in, the initial read of everything, and the layout of the operating mode; the device
// sequences themselves are the core's (exchange::DeviceSession).

#include "exchange/DeviceSession.h"
#include "ui/Gsm.h"
#include "ui/Passwd.h"
#include "ui/QtText.h"

namespace quelvar::ui {

using exchange::LogInOutcome;

void TFormMain::LogIn() {
    exchange::DeviceSession session(*exchange, {}, exchange::kSilenceLimit);
    bool swapped = false;
    bool asked = false;
    const exchange::PasswordAsker ask = [&](bool wrongBefore) -> std::optional<long long> {
        // A device pulled during the read of "PW" reads as gone: asking for its password would
        // hold the disconnect off screen until the user answered.
        if (passwdFrm_ == nullptr || !SameAttachmentAsConnected()) {
            return std::nullopt;
        }
        asked = true;
        passwdFrm_->setWindowTitle("Password");
        passwdFrm_->lbx1->setText(wrongBefore ? kWrongPassword : "Enter password:");
        PlacePasswordDialog();
        const int result = passwdFrm_->ShowModal();
        // The password answers for the device it was read from, not for one plugged in
        // while the dialog was open: that one gets a log-in of its own.
        swapped = !SameAttachmentAsConnected();
        if (swapped || result == TPasswdFrm::kCancelled) {
            return std::nullopt;
        }
        return result;
    };
    switch (session.LogIn(ask)) {
        case LogInOutcome::kLoggedIn:
            deviceState_.LoggedIn();
            InitialRead(session);
            return;
        case LogInOutcome::kPasswordUnreadable:
            SetStatusText(2, kPasswordUnreadable);
            return;
        case LogInOutcome::kPasswordOutOfReach:
            SetStatusText(2, kPasswordOutOfReach);
            return;
        case LogInOutcome::kFault:
            SetStatusText(2, SessionFaultText(session, "nothing on it was changed"));
            return;
        case LogInOutcome::kUnanswered:
            SetStatusText(2, "The device did not answer the password request: replug it");
            return;
        case LogInOutcome::kCancelled:
        case LogInOutcome::kWrongPassword:
            if (swapped) {
                deviceState_.Hold(connection->IsAttached());
            } else if (asked) {
                // The window stays blank: it says why and what to do.
                SetStatusText(2, kLogInCancelled);
            }
            return;
    }
}

void TFormMain::InitialRead(exchange::DeviceSession& session) {
    bool shown = false;
    const exchange::ReadAllResult read = session.ReadEverything(model, [&](int modeIndex) {
        ShowDeviceSettings(modeIndex);
        shown = true;
    });
    if (!shown) {
        // Nothing was read that the window could show or write back.
        deviceState_.LogInFailed();
    } else if (read.modeIndex == exchange::kStandaloneMode) {
        ackMask = read.ackMask;
    }
    if (session.Fault() != exchange::SessionFault::kNone) {
        SetStatusText(2, SessionFaultText(session, "nothing on it was changed"));
    } else if (read.alarms == exchange::EventReadOutcome::kFailed ||
               read.inputs == exchange::EventReadOutcome::kFailed) {
        SetStatusText(2, "The event tables could not be read");
    } else if (const int unanswered = static_cast<int>(read.unansweredKeys.size());
               unanswered > 0) {
        // Those cells show empty; a write-back would clear the values on the device.
        SetStatusText(2, QString("%1 settings went unanswered and show empty").arg(unanswered));
    }
    if (!shown) {
        return;
    }
    held_.SetFirmware(read.firmwareVersion.value_or(std::string()));
    SetStatusText(1, kFirmwareVersion + FromCp1250(held_.Firmware()));
    DeviceSettingsRead(read.Complete());
    RememberHeld(OpModeIndex());
}

void TFormMain::ShowDeviceSettings(int modeIndex) {
    SetSaveToDevImage(kSavedImage);
    ShowDeviceView();
    ToolBar1->show();
    gbMset->show();
    SelectOpMode(modeIndex);
    LayOutMode(modeIndex == exchange::kStandaloneMode ? Mode::kStandalone : Mode::kTransparent);
}

QString TFormMain::SessionFaultText(const exchange::DeviceSession& session,
                                    const QString& deviceHolds) const {
    return FromCp1250(exchange::DescribeFault(session, ToCp1250(deviceHolds).value_or(""),
                                              exchange::StopCause::kReplug));
}

void TFormMain::rgOpModeClick() {
    SequenceGuard sequence(*this);
    if (!sequence.Started() || OpModeIndex() == shownMode_) {
        return;
    }
    ApplyModeLayout(OpModeIndex() == 0 ? Mode::kStandalone : Mode::kTransparent);
    MarkEdited();
}

void TFormMain::ApplyModeLayout(Mode mode) {
    LayOutMode(mode);
    // The offline view asks no device for its marks.
    if (mode == Mode::kStandalone && DeviceLoggedIn()) {
        exchange::DeviceSession session(*exchange, {}, exchange::kSilenceLimit);
        ackMask = session.ReadAckMarks(model);
    }
}

void TFormMain::LayOutMode(Mode mode) {
    const bool standalone = mode == Mode::kStandalone;
    shownMode_ = standalone ? 0 : 1;
    for (QGroupBox* events : {gbExtevents, gbIntevents}) {
        events->setVisible(standalone);
        events->setEnabled(standalone);
    }
    gbPhnrs1->setVisible(standalone);
    gbMonParams->setVisible(!standalone);
}

}  // namespace quelvar::ui

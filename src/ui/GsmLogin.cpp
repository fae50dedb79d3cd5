// Log-in, the initial read of everything, and the layout of the operating mode; the device
// sequences themselves are the core's (exchange::DeviceSession).

#include "exchange/DeviceSession.h"
#include "ui/EditHistory.h"
#include "ui/Gsm.h"
#include "ui/Passwd.h"
#include "ui/QtText.h"
#include "ui/WindowDialogs.h"

namespace quelvar::ui {

using exchange::LogInOutcome;

namespace {

// What ended a log-in early: "The device stopped answering while reading ...: nothing on it was
// changed".
QString SessionFaultText(const exchange::DeviceSession& session, const QString& deviceHolds) {
    return FromCp1250(exchange::DescribeFault(session, ToCp1250(deviceHolds).value_or(""),
                                              exchange::StopCause::kReplug));
}

}  // namespace

void TFormMain::LogIn() {
    exchange::DeviceSession session = WindowSession(*exchange, *connection, ui.pb1);
    bool swapped = false;
    bool asked = false;
    const exchange::PasswordAsker ask = [&](bool wrongBefore) -> std::optional<long long> {
        // A device pulled during the read of "PW" reads as gone: asking for its password would
        // hold the disconnect off screen until the user answered.
        if (passwdFrm_ == nullptr || !monitor_.SameAttachmentAsConnected()) {
            return std::nullopt;
        }
        asked = true;
        passwdFrm_->setWindowTitle("Password");
        passwdFrm_->lbx1->setText(wrongBefore ? kWrongPassword : "Enter password:");
        PlaceCentred(*this, passwdFrm_);
        const int result = passwdFrm_->ShowModal();
        // The password answers for the device it was read from, not for one plugged in
        // while the dialog was open: that one gets a log-in of its own.
        swapped = !monitor_.SameAttachmentAsConnected();
        if (swapped || result == TPasswdFrm::kCancelled) {
            return std::nullopt;
        }
        return result;
    };
    switch (session.LogIn(ask)) {
        case LogInOutcome::kLoggedIn:
            monitor_.State().LoggedIn();
            InitialRead(session);
            return;
        case LogInOutcome::kPasswordUnreadable:
            ui.SetStatusText(2, kPasswordUnreadable);
            return;
        case LogInOutcome::kPasswordOutOfReach:
            ui.SetStatusText(2, kPasswordOutOfReach);
            return;
        case LogInOutcome::kFault:
            ui.SetStatusText(2, SessionFaultText(session, "nothing on it was changed"));
            return;
        case LogInOutcome::kUnanswered:
            ui.SetStatusText(2, "The device did not answer the password request: replug it");
            return;
        case LogInOutcome::kCancelled:
        case LogInOutcome::kWrongPassword:
            if (swapped) {
                monitor_.State().Hold(connection->IsAttached());
            } else if (asked) {
                // The window stays blank: it says why and what to do.
                ui.SetStatusText(2, kLogInCancelled);
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
        monitor_.State().LogInFailed();
    } else {
        // The column shows what the read found; a Transparent device's marks are not read.
        ackMarksKnown_ = read.modeIndex == exchange::kStandaloneMode;
    }
    if (session.Fault() != exchange::SessionFault::kNone) {
        ui.SetStatusText(2, SessionFaultText(session, "nothing on it was changed"));
    } else if (read.alarms == exchange::EventReadOutcome::kFailed ||
               read.inputs == exchange::EventReadOutcome::kFailed) {
        ui.SetStatusText(2, "The event tables could not be read");
    } else if (const int unanswered = static_cast<int>(read.unansweredKeys.size());
               unanswered > 0) {
        // Those cells show empty; a write-back would clear the values on the device.
        ui.SetStatusText(2, QString("%1 settings went unanswered and show empty").arg(unanswered));
    }
    if (!shown) {
        return;
    }
    pending_.Held().SetFirmware(read.firmwareVersion.value_or(std::string()));
    ui.SetStatusText(1, kFirmwareVersion + FromCp1250(pending_.Held().Firmware()));
    // Cells that went unanswered show empty: the backup reads the device again.
    pending_.Held().NoteDeviceRead(model, ui.OpModeIndex(), read.Complete());
    if (read.Complete()) {
        sites_.RecordRead(model, ui.OpModeIndex(),
                          SiteRecords::Facts(connection.get(), pending_.Held()));
    }
    sites_.ShowCustomer(pending_.Held().AccountId());
    ui.history->Reset();
    pending_.Remember(ui.OpModeIndex());
}

void TFormMain::ShowDeviceSettings(int modeIndex) {
    document_.ShowDevice();
    ui.SetDeviceToolsEnabled(true);
    // Differences found on an earlier device say nothing about this one.
    lastVerify_ = {};
    ui.actShowDifferences->setEnabled(false);
    ui.ToolBar1->show();
    ui.gbMset->show();
    ui.SelectOpMode(modeIndex);
    ui.LayOutMode(modeIndex == exchange::kStandaloneMode);
    shownMode_ = modeIndex == exchange::kStandaloneMode ? 0 : 1;
}

void TFormMain::rgOpModeClick() {
    SequenceGuard sequence(*this);
    if (!sequence.Started() || ui.OpModeIndex() == shownMode_) {
        return;
    }
    ApplyModeLayout(ui.OpModeIndex() == 0 ? Mode::kStandalone : Mode::kTransparent);
    MarkEdited();
}

void TFormMain::ApplyModeLayout(Mode mode) {
    ui.LayOutMode(mode == Mode::kStandalone);
    shownMode_ = mode == Mode::kStandalone ? 0 : 1;
    // The offline view asks no device for its marks.
    if (mode == Mode::kStandalone && DeviceLoggedIn()) {
        exchange::DeviceSession session = WindowSession(*exchange, *connection, ui.pb1);
        session.ReadAckMarks(model);
        ackMarksKnown_ = true;
    }
}

}  // namespace quelvar::ui

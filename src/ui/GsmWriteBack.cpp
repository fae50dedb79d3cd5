// Writing everything back to the device with its verify, and the password change; the device
// sequences themselves are the core's (exchange/Sequences.h).

#include <QTime>
#include <cstdlib>
#include <string>

#include "exchange/Sequences.h"
#include "settings/BackupStore.h"
#include "ui/Gsm.h"
#include "ui/MonitorPause.h"
#include "ui/Passwd.h"
#include "ui/QtText.h"
#include "ui/WindowDialogs.h"

namespace quelvar::ui {

void TFormMain::btnSaveToDevClick() {
    SequenceGuard sequence(*this);
    if (!sequence.Started() || !exchange || !monitor_.LoggedInDevice()) {
        return;
    }
    exchange::WriteRequest request;
    request.settings = &model;
    request.modeIndex = ui.OpModeIndex();
    request.ackMask = ackMask();
    // Marks never read (a device logged in as Transparent) are the device's to keep: sending
    // none would clear them.
    if (request.ackMask.empty()) {
        request.steps = exchange::kFileWriteSteps;
    }
    request.restoredName = ToCp1250(restoring_).value_or(std::string());
    settings::BackupStore store(settings::DefaultBackupFolder(std::getenv));
    MonitorPause pause(Timer1, this);
    sequenceStatus_ = kWriting;
    ui.SetStatusText(2, sequenceStatus_);
    pending_.WritingAll(true);
    ui.ShowPendingMark(pending_.Image());
    exchange::DeviceSession session = WindowSession(*exchange, *connection, ui.pb1);
    settings::SettingsModel readBack;
    const exchange::SequenceOutcome outcome =
        exchange::RunWrite(session, request, BackupAsking(store), pending_.Held(), readBack);
    pending_.WritingAll(false);
    sequenceStatus_.clear();
    sites_.RecordSequence(
        restoring_.isEmpty() ? sites::RevisionKind::kWriteBack : sites::RevisionKind::kRestore,
        outcome, sites::ReadBackBytes(outcome, readBack),
        SiteRecords::Facts(connection.get(), pending_.Held()));
    sites_.ShowCustomer(pending_.Held().AccountId());
    pause.Resume();
    ReportOutcome(outcome);
}

void TFormMain::ToolButton1Click() {
    SequenceGuard sequence(*this);
    if (!sequence.Started() || !exchange || passwdFrm_ == nullptr || !monitor_.LoggedInDevice()) {
        return;
    }
    passwdFrm_->setWindowTitle("New password");
    passwdFrm_->lbx1->setText("Enter new password:");
    PlaceCentred(*this, passwdFrm_);
    const int result = passwdFrm_->ShowModal();
    // Checked after each dialog: the device may have been swapped while it was open.
    if (result == TPasswdFrm::kCancelled || !monitor_.LoggedInDevice()) {
        return;
    }
    // A mistyped new password would lock the installer out: it is entered twice.
    passwdFrm_->lbx1->setText("Repeat new password:");
    const int repeated = passwdFrm_->ShowModal();
    if (repeated == TPasswdFrm::kCancelled || !monitor_.LoggedInDevice()) {
        return;
    }
    if (repeated != result) {
        ui.SetStatusText(2, kPasswordsDiffer);
        return;
    }
    exchange::DeviceSession session = WindowSession(*exchange, *connection, ui.pb1);
    const exchange::SequenceOutcome outcome = exchange::ChangePassword(session, result);
    sites_.RecordSequence(sites::RevisionKind::kPasswordChange, outcome, std::nullopt,
                          SiteRecords::Facts(connection.get(), pending_.Held()));
    ui.SetStatusText(2, FromCp1250(exchange::DescribeOutcome(outcome)));
}

}  // namespace quelvar::ui

namespace quelvar::ui {

bool TFormMain::RunOnDevice(const std::function<void(exchange::DeviceSession&)>& exchanges) {
    SequenceGuard sequence(*this);
    if (!sequence.Started() || !exchange || !monitor_.LoggedInDevice()) {
        return false;
    }
    exchange::DeviceSession session = WindowSession(*exchange, *connection, ui.pb1);
    exchanges(session);
    return true;
}

}  // namespace quelvar::ui

// Writing everything back to the device, and the password change.

#include <string>

#include "ui/Gsm.h"
#include "ui/Passwd.h"

namespace quelvar::ui {

using settings::TableId;

void TFormMain::btnSaveToDevClick() {
    SequenceGuard sequence(*this);
    if (!sequence.Started() || !exchange || !LoggedInDevice() || !BackUpBeforeOverwrite()) {
        return;
    }
    Timer1.stop();
    SetSaveToDevImage(kSavedImage);
    setEnabled(false);
    sequenceStatus_ = kWriting;
    SetStatusText(2, sequenceStatus_);
    exchange->ResetUnanswered();
    for (TableId id : settings::kWriteBackOrder) {
        WriteTableToDevice(model.Rule(id));
    }
    SetParameter("GACK", ackMask);
    WriteOperatingMode();
    WriteAlarmTable();
    WriteInputTable();
    const exchange::UnansweredTally written = exchange->Unanswered();
    // A device gone during the writes has nothing to read back.
    const std::optional<WriteBackCheck> check =
        !NoDeviceAttached() ? std::optional(ReadBackAndCompare()) : std::nullopt;
    if (check && check->complete) {
        heldValues_ = check->deviceValues;
        heldMode_ = check->deviceMode;
        heldAckMask_ = check->deviceAck;
    }
    sequenceStatus_.clear();
    setEnabled(true);
    Timer1.start();
    ReportVerify(check, written);
}

void TFormMain::ReportWriteBack(const exchange::UnansweredTally& tally) {
    if (tally.Clean()) {
        return;
    }
    // The edits still wait to be written, so the mark says so.
    SetSaveToDevImage(kPendingImage);
    QString text = QString("Write-back incomplete: %1 commands unanswered")
                       .arg(tally.sets + tally.memoryRequests);
    if (!tally.tooLongKeys.empty()) {
        text += QString(", %1 values too long to send").arg(tally.tooLongKeys.size());
    }
    SetStatusText(2, text);
}

void TFormMain::WriteOperatingMode() {
    SetParameter("SMODE", settings::ModeName(OpModeIndex()));
}

void TFormMain::ToolButton1Click() {
    SequenceGuard sequence(*this);
    if (!sequence.Started() || !exchange || passwdFrm_ == nullptr || !LoggedInDevice()) {
        return;
    }
    passwdFrm_->setWindowTitle("New password");
    passwdFrm_->lbx1->setText("Enter new password:");
    PlacePasswordDialog();
    const int result = passwdFrm_->ShowModal();
    // Checked after each dialog: the device may have been swapped while it was open.
    if (result == -1 || !LoggedInDevice()) {
        return;
    }
    // A mistyped new password would lock the installer out: it is entered twice.
    passwdFrm_->lbx1->setText("Repeat new password:");
    const int repeated = passwdFrm_->ShowModal();
    if (repeated == -1 || !LoggedInDevice()) {
        return;
    }
    if (repeated != result) {
        SetStatusText(2, kPasswordsDiffer);
        return;
    }
    if (SetParameter("PW", std::to_string(result)) != exchange::SetOutcome::kAcknowledged) {
        SetStatusText(2, "Password not changed: the device did not confirm it");
    } else {
        SetStatusText(2, "Password changed");
    }
}

}  // namespace quelvar::ui

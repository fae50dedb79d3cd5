// Writing everything back to the device with its verify, and the password change; the device
// sequences themselves are the core's (exchange::DeviceSession).

#include <string>

#include "exchange/DeviceSession.h"
#include "ui/Gsm.h"
#include "ui/Passwd.h"

namespace quelvar::ui {

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
    exchange::DeviceSession session(*exchange, {}, exchange::kSilenceLimit);
    const exchange::UnansweredTally written =
        session.WriteEverything(model, OpModeIndex(), ackMask);
    // A device gone during the writes has nothing to read back.
    std::optional<exchange::VerifyResult> check;
    if (session.Fault() == exchange::SessionFault::kNone && !NoDeviceAttached()) {
        settings::SettingsModel readBack;
        check = session.Verify(settings::ValuesOf(model, OpModeIndex()), ackMask, readBack);
        NoteDeviceSettings(readBack, check->read.modeIndex, check->Complete());
    }
    if (check && check->Complete()) {
        heldValues_ = check->deviceValues;
        heldUncertain_ = false;
        heldMode_ = check->read.modeIndex;
        heldAckMask_ = check->deviceAckMask.value_or(ackMask);
    }
    sequenceStatus_.clear();
    setEnabled(true);
    Timer1.start();
    const bool silent = session.Fault() == exchange::SessionFault::kSilent;
    if (silent || (session.Fault() != exchange::SessionFault::kNone && written.Clean() && !check)) {
        // The edits still wait to be written, and the window says what the device holds.
        SetSaveToDevImage(kPendingImage);
        SetStatusText(2, SessionFaultText(session, written.Clean() && check
                                                       ? "everything was written, not verified"
                                                       : "it holds a partial configuration"));
        return;
    }
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
    if (result == TPasswdFrm::kCancelled || !LoggedInDevice()) {
        return;
    }
    // A mistyped new password would lock the installer out: it is entered twice.
    passwdFrm_->lbx1->setText("Repeat new password:");
    const int repeated = passwdFrm_->ShowModal();
    if (repeated == TPasswdFrm::kCancelled || !LoggedInDevice()) {
        return;
    }
    if (repeated != result) {
        SetStatusText(2, kPasswordsDiffer);
        return;
    }
    exchange::DeviceSession session(*exchange, {}, exchange::kSilenceLimit);
    if (session.SetPassword(result) != exchange::SetOutcome::kAcknowledged) {
        SetStatusText(2, "Password not changed: the device did not confirm it");
    } else {
        SetStatusText(2, "Password changed");
    }
}

}  // namespace quelvar::ui

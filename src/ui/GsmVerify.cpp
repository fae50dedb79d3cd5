// The verify after a write-back: everything written is read back into a scratch model and
// compared with the grids, so that a write the device acknowledged but did not keep shows.

#include "exchange/EventTables.h"
#include "ui/Gsm.h"

namespace quelvar::ui {

using settings::TableId;

TFormMain::WriteBackCheck TFormMain::ReadBackAndCompare() {
    WriteBackCheck check;
    const int unansweredBefore = exchange->Unanswered().gets;
    settings::SettingsModel readBack;
    for (TableId id : settings::kLogInReadOrder) {
        ReadTableFromDevice(readBack.Rule(id));
    }
    const std::string deviceAckMask = GetParameter("GACK");
    const int deviceMode = settings::ModeIndexOfName(GetParameter("SMODE"));
    const exchange::EventReadOutcome alarms =
        exchange::ReadAlarmTable(*exchange, readBack.AlarmGrid());
    const exchange::EventReadOutcome inputs =
        exchange::ReadInputTable(*exchange, readBack.InputGrid());
    check.complete = exchange->Unanswered().gets == unansweredBefore &&
                     alarms == exchange::EventReadOutcome::kRead &&
                     inputs == exchange::EventReadOutcome::kRead;
    NoteDeviceSettings(readBack, deviceMode, check.complete);
    check.deviceValues = settings::ValuesOf(readBack, deviceMode);
    check.deviceMode = deviceMode;
    check.deviceAck = deviceAckMask;
    check.differences =
        settings::CompareSettings(settings::ValuesOf(model, OpModeIndex()), check.deviceValues);
    // The acknowledgement marks are in no settings file; they are compared as written.
    if (deviceAckMask != ackMask) {
        check.deviceAckMask = deviceAckMask;
    }
    return check;
}

namespace {

QString DifferText(int differing) {
    return differing == 1 ? QString("1 setting differs")
                          : QString("%1 settings differ").arg(differing);
}

}  // namespace

void TFormMain::ReportVerify(const std::optional<WriteBackCheck>& check,
                             const exchange::UnansweredTally& written) {
    lastVerify_ = check.value_or(WriteBackCheck{});
    actShowDifferences->setEnabled(lastVerify_.Differing() > 0);
    const int differing = lastVerify_.Differing();
    if (!written.Clean()) {
        // Whatever the read-back says, the write-back itself is reported as it went.
        ReportWriteBack(written);
        if (!check || !check->complete) {
            SetStatusText(2, StatusText(2) + ", not verified");
        } else if (differing > 0) {
            SetStatusText(2, StatusText(2) + "; verify failed: " + DifferText(differing));
        }
        return;
    }
    if (!check || !check->complete) {
        SetSaveToDevImage(kPendingImage);
        SetStatusText(2, check ? "Written, but not verified: the device did not answer every read"
                               : "Written, but not verified: the device went away");
    } else if (differing > 0) {
        // What the grids show is not what the device holds: the edits still wait.
        SetSaveToDevImage(kPendingImage);
        SetStatusText(2, "Verify failed: " + DifferText(differing));
    } else {
        SetStatusText(2, "Written and verified");
    }
}

}  // namespace quelvar::ui

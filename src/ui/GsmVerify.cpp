// What the verify after a write-back found: a write the device acknowledged but did not keep
// shows, and the edits stay marked.

#include "ui/Gsm.h"

namespace quelvar::ui {

namespace {

QString DifferText(int differing) {
    return differing == 1 ? QString("1 setting differs")
                          : QString("%1 settings differ").arg(differing);
}

}  // namespace

void TFormMain::ReportVerify(const std::optional<exchange::VerifyResult>& check,
                             const exchange::UnansweredTally& written) {
    lastVerify_ = check.value_or(exchange::VerifyResult{});
    actShowDifferences->setEnabled(lastVerify_.Differing() > 0);
    const int differing = lastVerify_.Differing();
    if (!written.Clean()) {
        // Whatever the read-back says, the write-back itself is reported as it went.
        ReportWriteBack(written);
        if (!check || !check->Complete()) {
            SetStatusText(2, StatusText(2) + ", not verified");
        } else if (differing > 0) {
            SetStatusText(2, StatusText(2) + "; verify failed: " + DifferText(differing));
        }
        return;
    }
    if (!check || !check->Complete()) {
        SetSaveToDevImage(kPendingImage);
        SetStatusText(2, check ? "Written, but not verified: the device did not answer every read"
                               : "Written, but not verified: the device went away");
    } else if (differing > 0) {
        // What the grids show is not what the device holds: the edits still wait.
        SetSaveToDevImage(kPendingImage);
        SetStatusText(2, "Verify failed: " + DifferText(differing));
    } else {
        SetStatusText(2, restoring_.isEmpty() ? QString("Written and verified")
                                              : "Restored " + restoring_ + " and verified");
    }
}

}  // namespace quelvar::ui

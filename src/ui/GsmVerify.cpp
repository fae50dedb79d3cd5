// How a write ended, as the status bar says it: a write the device acknowledged but did not keep
// shows, and the edits stay marked.

#include <QTime>

#include "exchange/Sequences.h"
#include "ui/Gsm.h"
#include "ui/QtText.h"

namespace quelvar::ui {

void TFormMain::ReportWrite(const exchange::SequenceOutcome& outcome) {
    lastVerify_ = outcome.verify.value_or(exchange::VerifyResult{});
    actShowDifferences->setEnabled(lastVerify_.Differing() > 0);
    if (!outcome.backupPath.empty()) {
        lastBackupTime_ = QTime::currentTime().toString("HH:mm");
    }
    // Anything short of a verified write leaves the edits waiting to be written.
    if (outcome.ending != exchange::Ending::kComplete) {
        SetSaveToDevImage(kPendingImage);
    }
    SetStatusText(2, FromCp1250(exchange::DescribeOutcome(outcome)));
}

}  // namespace quelvar::ui

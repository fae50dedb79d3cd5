// How a write ended, as the status bar says it: a write the device acknowledged but did not keep
// shows, and the edits stay marked.

#include <QTime>

#include "exchange/Sequences.h"
#include "ui/Gsm.h"
#include "ui/QtText.h"

namespace quelvar::ui {

void TFormMain::ReportOutcome(const exchange::SequenceOutcome& outcome) {
    lastVerify_ = outcome.verify.value_or(exchange::VerifyResult{});
    ui.actShowDifferences->setEnabled(lastVerify_.Differing() > 0);
    QString text = FromCp1250(exchange::DescribeOutcome(outcome));
    // A load overwrites the device at once: where its old settings went is said with it.
    if (!outcome.loadedName.empty() && outcome.holds == exchange::DeviceHolds::kAsWritten &&
        !outcome.backupPath.empty()) {
        text += QString("; what it held is in the backup of %1 (More > Backups...)")
                    .arg(QTime::currentTime().toString("HH:mm"));
    }
    ui.SetStatusText(2, text);
}

}  // namespace quelvar::ui

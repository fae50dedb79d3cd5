// Working without a device: a settings file shown and edited in the window; the pending mark
// and the window's close.

#include <QCloseEvent>
#include <QFileInfo>

#include "settings/BackupStore.h"
#include "settings/SettingsCheck.h"
#include "ui/EditHistory.h"
#include "ui/Gsm.h"
#include "ui/WindowDialogs.h"

namespace quelvar::ui {

void TFormMain::ShowOfflineView(const QString& name, const settings::SettingsFileContent& content) {
    ui.history->Capture();  // edits not yet a step stay apart from the load
    document_.ShowFile(name);
    settings::FillModelFromFile(content, model);
    const int mode = content.ModeIndex();
    ui.SelectOpMode(mode);
    ApplyModeLayout(mode == 0 ? Mode::kStandalone : Mode::kTransparent);
    // Settings files hold no acknowledgement marks: the last device's would look like the file's.
    settings::ShowAckMask(model, "");
    ackMarksKnown_ = false;
    document_.ShowFile(name);  // the mode selected above is the file's own
    file_.Opened(name);
    pending_.Remember(mode);
    ui.SetDeviceToolsEnabled(false);
    lastVerify_ = {};
    ui.actShowDifferences->setEnabled(false);
    ui.pb1->hide();  // nothing is exchanged
    ui.ToolBar1->show();
    ui.gbMset->show();
    ui.SetStatusText(1, QFileInfo(name).fileName());
    ui.SetStatusText(2, monitor_.NoDeviceAttached() ? kShownNoDevice : kShownNotLoggedIn);
    ui.history->Capture("load of " + QFileInfo(name).fileName());
}

void TFormMain::closeEvent(QCloseEvent* event) {
    if (!file_.ConfirmClose()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

// As a plug-in would: edits that differ from the device are not replaced without a question.
void TFormMain::LogInAgain() {
    if (!monitor_.LogInPossible(sequenceRunning_)) {
        return;
    }
    if (file_.ConfirmLogInAgain()) {
        ConnectTransition();
    }
}

void TFormMain::MarkEdited() {
    ui.ClearLastResult();  // an edit is the latest action: the last one's result is history
    if (ui.history != nullptr) {
        ui.history->Capture();
    }
    // Offline, the same comparison tells whether the file is behind.
    const bool pending = pending_.Pending();
    if (pending) {
        document_.Edited();
    } else {
        document_.MatchesHeld();
    }
    ui.ShowPendingMark(pending ? kPendingImage : kSavedImage);
}

}  // namespace quelvar::ui

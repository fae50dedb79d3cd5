// Working without a device: a settings file shown and edited in the window, and the questions
// that keep edits from being lost when a device comes or goes or the window closes.

#include <QCloseEvent>
#include <QFileInfo>
#include <QShortcut>

#include "settings/BackupStore.h"
#include "settings/SettingsCheck.h"
#include "ui/EditHistory.h"
#include "ui/Gsm.h"
#include "ui/WindowDialogs.h"

namespace quelvar::ui {

namespace {

// Asks with two buttons, the first the default; true when the first one was chosen.
bool Ask(QWidget* parent, const QString& text, const QString& yes, const QString& no) {
    return AskPlain(parent, kCaption, text, {yes, no}, 0, 1) == 0;
}

QString SettingsCount(int count) {
    return count == 1 ? QString("1 setting") : QString("%1 settings").arg(count);
}

// "3 settings differ from what the device holds and will be lost. Close anyway?"
QString LossQuestion(int differing, const QString& then) {
    return QString("%1 %2 from what the device holds and will be lost. %3")
        .arg(SettingsCount(differing), differing == 1 ? "differs" : "differ", then);
}

}  // namespace

bool TFormMain::DeviceLoggedIn() const {
    const std::uint64_t now = connection ? connection->Attachment() : 0;
    return deviceState_.IsLoggedIn(now);
}

void TFormMain::BindViewHandlers() {
    // A mode chosen in the offline view changes what the file would hold.
    connect(rgOpModeItems, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked) {
            document_.Edited();
        }
    });
    // Window-wide, so that Open works while the tool bar is hidden after a disconnect.
    auto* open = new QShortcut(QKeySequence::Open, this);
    connect(open, &QShortcut::activated, this, &TFormMain::tbtnOpenClick);
    auto* save = new QShortcut(QKeySequence::Save, this);
    connect(save, &QShortcut::activated, this, [this] {
        if (gbMset->isVisible()) {
            tbtnSaveClick();
        }
    });
}

void TFormMain::ShowOfflineView(const QString& name, const settings::SettingsFileContent& content) {
    history->Capture();  // edits not yet a step stay apart from the load
    document_.ShowFile(name);
    settings::FillModelFromFile(content, model);
    const int mode = content.ModeIndex();
    SelectOpMode(mode);
    ApplyModeLayout(mode == 0 ? Mode::kStandalone : Mode::kTransparent);
    // Settings files hold no acknowledgement marks: the last device's would look like the file's.
    settings::ShowAckMask(model, "");
    ackMask.clear();
    SetSaveToDevImage(kSavedImage);
    document_.ShowFile(name);  // the mode selected above is the file's own
    currentFile_ = name;
    RememberHeld(mode);
    SetDeviceToolsEnabled(false);
    lastVerify_ = {};
    actShowDifferences->setEnabled(false);
    pb1->hide();  // nothing is exchanged
    ToolBar1->show();
    gbMset->show();
    SetStatusText(1, QFileInfo(name).fileName());
    SetStatusText(2, NoDeviceAttached() ? kShownNoDevice : kShownNotLoggedIn);
    history->Capture("load of " + QFileInfo(name).fileName());
}

void TFormMain::ShowDeviceView() {
    document_.ShowDevice();
    SetDeviceToolsEnabled(true);
    // Differences found on an earlier device say nothing about this one.
    lastVerify_ = {};
    actShowDifferences->setEnabled(false);
}

void TFormMain::SetDeviceToolsEnabled(bool enabled) {
    btnSaveToDev->setEnabled(enabled);
    ToolButton1->setEnabled(enabled);
    btnSaveToDev->setToolTip(enabled ? kWriteAllTip : kNoDeviceTip);
    ToolButton1->setToolTip(enabled ? kChangePasswordTip : kNoDeviceTip);
    // With a device logged in, Open writes the file into it at once.
    tbtnOpen->setToolTip(enabled ? kOpenIntoDeviceTip : kOpenTip);
}

void TFormMain::AskToSaveOfflineEdits() {
    if (!document_.Unsaved()) {
        return;
    }
    const QString file = QFileInfo(document_.OfflineFile()).fileName();
    if (Ask(this, QString("Save your changes to %1?").arg(file), "Save", "Discard")) {
        SaveUntilSavedOrCancelled(document_.OfflineFile());
    }
    document_.Answered();
}

bool TFormMain::SaveUntilSavedOrCancelled(QString name) {
    // The settings are about to be replaced: a failed save asks for another file rather than
    // losing them.
    while (!name.isEmpty()) {
        if (SaveSettingsTo(name)) {
            return true;
        }
        name = AskFileName(true);
    }
    return false;
}

void TFormMain::OfferSaveBeforeDisconnect() {
    if (document_.SaveToDevImage() != kPendingImage || !gbMset->isVisible()) {
        return;
    }
    if (!Ask(this,
             "The device went away while edits wait to be written to it. Save them to a "
             "settings file?",
             "Save...", "Discard")) {
        return;
    }
    SaveUntilSavedOrCancelled(AskFileName(true));
}

void TFormMain::closeEvent(QCloseEvent* event) {
    if (!ConfirmClose()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

bool TFormMain::ConfirmClose() {
    const int differing = gbMset->isVisibleTo(this) ? DifferingFromHeld() : 0;
    if (differing == 0) {
        return true;
    }
    if (document_.Offline()) {
        const QString file = QFileInfo(document_.OfflineFile()).fileName();
        const int chosen = AskPlain(this, kCaption, QString("Save your changes to %1?").arg(file),
                                    {"Save", "Discard", "Cancel"}, 0, 2);
        return chosen == 1 || (chosen == 0 && SaveUntilSavedOrCancelled(document_.OfflineFile()));
    }
    return AskPlain(this, kCaption, LossQuestion(differing, "Close anyway?"), {"Close", "Cancel"},
                    1, 1) == 0;
}

// As a plug-in would: edits that differ from the device are not replaced without a question.
void TFormMain::LogInAgain() {
    if (!LogInPossible()) {
        return;
    }
    const int differing =
        gbMset->isVisibleTo(this) && !document_.Offline() ? DifferingFromHeld() : 0;
    if (differing > 0) {
        const QString text = LossQuestion(differing, "Log in again anyway?");
        if (AskPlain(this, kCaption, text, {"Log in again", "Cancel"}, 1, 1) != 0) {
            return;
        }
    }
    ConnectTransition();
}

void TFormMain::RememberHeld(int modeIndex) {
    held_.Remember(model, modeIndex, ackMask);
}

int TFormMain::DifferingFromHeld() const {
    return held_.DifferingFrom(model, OpModeIndex(), ackMask);
}

void TFormMain::MarkIfModeDiffersFromHeld() {
    // The mode waits to be written (or saved) like any edit.
    if (OpModeIndex() != held_.Mode()) {
        SetSaveToDevImage(kPendingImage);
    }
}

void TFormMain::ClearLastResult() {
    // What a cut sequence left on the device stays said until something else is.
    if (!StatusText(2).startsWith("The device ")) {
        SetStatusText(2, QString());
    }
}

void TFormMain::MarkEdited() {
    ClearLastResult();  // an edit is the latest action: the last one's result is history
    // By the comparison the close question makes: with what the device holds (unless a sequence
    // left that unknown), offline with the file as opened or last saved.
    const bool differs =
        !held_.Known() || (!document_.Offline() && held_.Uncertain()) || DifferingFromHeld() > 0;
    if (differs) {
        SetSaveToDevImage(kPendingImage);
        return;
    }
    ClearMarkIfNothingDiffers();
}

void TFormMain::ClearMarkIfNothingDiffers() {
    if (!held_.Known() || DifferingFromHeld() > 0) {
        return;
    }
    history->Capture();
    document_.MatchesHeld();
    SetSaveToDevImage(kSavedImage);
}

std::string TFormMain::HeldAccountId() const {
    return held_.AccountId();
}

}  // namespace quelvar::ui

// Working without a device: a settings file shown and edited in the window, and the questions
// that keep edits from being lost when a device comes or goes or the window closes.

#include <QCloseEvent>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>

#include "ui/EditHistory.h"
#include "ui/Gsm.h"

namespace quelvar::ui {

namespace {

// Asks with two buttons; true when the first one was chosen.
bool Ask(QWidget* parent, const QString& text, const QString& yes, const QString& no) {
    QMessageBox box(QMessageBox::Question, kCaption, text, QMessageBox::NoButton, parent);
    QPushButton* first = box.addButton(yes, QMessageBox::AcceptRole);
    QPushButton* second = box.addButton(no, QMessageBox::RejectRole);
    box.setDefaultButton(first);
    box.setEscapeButton(second);
    box.exec();
    return box.clickedButton() == first;
}

}  // namespace

bool TFormMain::DeviceLoggedIn() const {
    const std::uint64_t now = connection ? connection->Attachment() : 0;
    return connectedShown && now != 0 && now == loggedInAttachment_;
}

void TFormMain::BindViewHandlers() {
    // A mode chosen in the offline view changes what the file would hold.
    connect(rgOpModeItems, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked && !offlineFile_.isEmpty()) {
            offlineUnsaved_ = true;
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
    offlineFile_ = name;
    settings::FillModelFromFile(content, model);
    const int mode = content.ModeIndex();
    SelectOpMode(mode);
    ApplyModeLayout(mode == 0 ? Mode::kStandalone : Mode::kTransparent);
    SetSaveToDevImage(kSavedImage);
    offlineUnsaved_ = false;
    SetDeviceToolsEnabled(false);
    lastVerify_ = {};
    actShowDifferences->setEnabled(false);
    pb1->hide();  // nothing is exchanged
    ToolBar1->show();
    gbMset->show();
    SetStatusText(1, QFileInfo(name).fileName());
    SetStatusText(2, "Loaded into the window; no device connected, nothing was sent");
    history->Capture("load of " + QFileInfo(name).fileName());
}

void TFormMain::ShowDeviceView() {
    offlineFile_.clear();
    offlineUnsaved_ = false;
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
}

void TFormMain::AskToSaveOfflineEdits() {
    if (offlineFile_.isEmpty() || !offlineUnsaved_) {
        return;
    }
    const QString file = QFileInfo(offlineFile_).fileName();
    if (Ask(this, QString("Save your changes to %1?").arg(file), "Save", "Discard")) {
        SaveUntilSavedOrCancelled(offlineFile_);
    }
    offlineUnsaved_ = false;
}

void TFormMain::SaveUntilSavedOrCancelled(QString name) {
    // The settings are about to be replaced: a failed save asks for another file rather than
    // losing them.
    while (!name.isEmpty() && !SaveSettingsTo(name)) {
        name = AskFileName(true);
    }
}

void TFormMain::OfferSaveBeforeDisconnect() {
    if (saveToDevImage_ != kPendingImage || !gbMset->isVisible()) {
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
    if (saveToDevImage_ == kPendingImage &&
        !Ask(this, "Changes have not been written to the device. Close anyway?", "Close",
             "Cancel")) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

}  // namespace quelvar::ui

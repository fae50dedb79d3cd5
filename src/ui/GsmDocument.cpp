#include "ui/GsmDocument.h"

#include <QFileInfo>
#include <QMessageBox>
#include <QRegularExpression>

#include "settings/SettingsFile.h"
#include "ui/Gsm.h"
#include "ui/GsmControls.h"
#include "ui/GsmMoreMenu.h"
#include "ui/MonitorPause.h"
#include "ui/QtText.h"
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

// The name the save dialog offers: the file last opened or saved, else the account ID.
QString OfferedFileName(const QString& currentFile, const settings::SettingsModel& model) {
    if (!currentFile.isEmpty()) {
        return currentFile;
    }
    // A device's settings without a file yet: its account ID names the site, where a file
    // name can hold it.
    const QString account = FromCp1250(settings::AccountIdOf(model));
    static const QRegularExpression plain("^[A-Za-z0-9._+-]+$");
    return plain.match(account).hasMatch() ? account + ".am2" : QString();
}

}  // namespace

SettingsDocument::SettingsDocument(QWidget& window, const settings::SettingsModel& model,
                                   MainControls& ui, WindowDocument& document, PendingMark& pending,
                                   QTimer& monitorClock)
    : window_(window),
      model_(model),
      ui_(ui),
      document_(document),
      pending_(pending),
      monitorClock_(monitorClock) {}

QString SettingsDocument::AskFileName(bool forSaving) {
    if (askFileName_) {
        return askFileName_(forSaving);
    }
    const QString filter = "Settings (*.am2)";
    return forSaving ? AskSaveFileName(&window_, "Save settings",
                                       OfferedFileName(currentFile_, model_), filter, "am2")
                     : AskOpenFileName(&window_, "Open settings", filter, "am2");
}

bool SettingsDocument::SaveTo(const QString& name) {
    MonitorPause pause(monitorClock_);
    const int mode = ui_.OpModeIndex();
    const settings::SettingsSaveResult saved =
        settings::SaveSettingsFile(model_, mode, ToLocalPath(name));
    pause.Resume();
    if (!saved.ok) {
        ShowWarning(&window_, QString("Unable to write to %1").arg(name) + "\n" +
                                  QString::fromLocal8Bit(saved.reason.c_str()));
        return false;
    }
    currentFile_ = name;
    RememberRecentFile(name);
    // The offline view now shows the file just written.
    if (document_.Offline()) {
        document_.ShowFile(name);
        pending_.Remember(mode);
        ui_.SetStatusText(1, QFileInfo(name).fileName());
    }
    ui_.SetStatusText(2, QString("Saved to %1").arg(QFileInfo(name).fileName()));
    return true;
}

bool SettingsDocument::SaveUntilSavedOrCancelled(QString name) {
    while (!name.isEmpty()) {
        if (SaveTo(name)) {
            return true;
        }
        name = AskFileName(true);
    }
    return false;
}

void SettingsDocument::AskToSaveOfflineEdits() {
    if (!document_.Unsaved()) {
        return;
    }
    const QString file = QFileInfo(document_.OfflineFile()).fileName();
    if (Ask(&window_, QString("Save your changes to %1?").arg(file), "Save", "Discard")) {
        SaveUntilSavedOrCancelled(document_.OfflineFile());
    }
    document_.Answered();
}

void SettingsDocument::OfferSaveBeforeDisconnect() {
    if (!pending_.Pending() || !ui_.gbMset->isVisible()) {
        return;
    }
    if (!Ask(&window_,
             "The device went away while edits wait to be written to it. Save them to a "
             "settings file?",
             "Save...", "Discard")) {
        return;
    }
    SaveUntilSavedOrCancelled(AskFileName(true));
}

bool SettingsDocument::ConfirmClose() {
    const int differing = SettingsShown() ? pending_.Differing() : 0;
    if (differing == 0) {
        return true;
    }
    if (document_.Offline()) {
        const QString file = QFileInfo(document_.OfflineFile()).fileName();
        const int chosen =
            AskPlain(&window_, kCaption, QString("Save your changes to %1?").arg(file),
                     {"Save", "Discard", "Cancel"}, 0, 2);
        return chosen == 1 || (chosen == 0 && SaveUntilSavedOrCancelled(document_.OfflineFile()));
    }
    return AskPlain(&window_, kCaption, LossQuestion(differing, "Close anyway?"),
                    {"Close", "Cancel"}, 1, 1) == 0;
}

// As a plug-in would: edits that differ from the device are not replaced without a question.
bool SettingsDocument::ConfirmLogInAgain() {
    const int differing = SettingsShown() && !document_.Offline() ? pending_.Differing() : 0;
    if (differing == 0) {
        return true;
    }
    const QString text = LossQuestion(differing, "Log in again anyway?");
    return AskPlain(&window_, kCaption, text, {"Log in again", "Cancel"}, 1, 1) == 0;
}

bool SettingsDocument::SettingsShown() const {
    return ui_.gbMset->isVisibleTo(&window_);
}

}  // namespace quelvar::ui

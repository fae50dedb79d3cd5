// Backups of the device's settings before anything overwrites them, and More > Backups....

#include <QFile>
#include <QMessageBox>
#include <QTime>
#include <cstdlib>

#include "exchange/DeviceSession.h"
#include "settings/BackupStore.h"
#include "settings/SettingsCheck.h"
#include "settings/SettingsFile.h"
#include "ui/BackupsDialog.h"
#include "ui/EditHistory.h"
#include "ui/FindingsDialog.h"
#include "ui/Gsm.h"
#include "ui/GsmMoreMenu.h"
#include "ui/QtText.h"
#include "ui/WindowDialogs.h"

namespace quelvar::ui {

namespace {

settings::BackupStore Store() {
    return settings::BackupStore(settings::DefaultBackupFolder(std::getenv));
}

// A yes-or-no question whose default, and Escape, is No.
bool AskYesNo(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Question, kCaption, text, QMessageBox::Yes | QMessageBox::No,
                    parent);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    box.setTextFormat(Qt::PlainText);
    return ExecWindowModal(box) == QMessageBox::Yes;
}

}  // namespace

QString Owner(const std::string& accountId, const std::string& firmware) {
    return QString("account ID %1, firmware %2").arg(FromCp1250(accountId), FromCp1250(firmware));
}

bool AskYesNoFirstNo(QWidget* parent, const QString& text) {
    return AskYesNo(parent, text);
}

exchange::BackupRequest TFormMain::BackupAsking(settings::BackupStore& store) {
    exchange::BackupRequest request;
    request.store = &store;
    request.goOnWithout = [this](const std::string& why) {
        const QString text = "The backup of the device's settings could not be written (" +
                             QString::fromLocal8Bit(why.c_str()) + ").\n\nWrite without a backup?";
        // The question is answered with the window, which the sequence keeps disabled.
        setEnabled(true);
        const bool yes = AskYesNo(this, text);
        setEnabled(false);
        // The device may have been swapped while the question was open.
        return yes && monitor_.LoggedInDevice();
    };
    return request;
}

void TFormMain::RestoreBackup(const QString& path, const QString& named,
                              const QString& restoredName) {
    const settings::SettingsReadResult read = settings::ReadSettingsFile(ToLocalPath(path));
    if (!read.content) {
        ShowWarning(this, QString::fromLocal8Bit(read.error.c_str()));
        return;
    }
    RestoreSettings(*read.content, named, restoredName);
}

void TFormMain::RestoreSettings(const settings::SettingsFileContent& content, const QString& named,
                                const QString& restoredName) {
    // What the device held may be what no editor makes: the same question as a load.
    const std::vector<settings::Finding> findings = settings::CheckSettingsFile(content);
    if (settings::HasBlockingFindings(findings) &&
        !ConfirmLoadWithFindings(
            this, named, findings,
            [this](const settings::SettingPlace& place) { return ui.GroupCaptionOf(place, model); },
            true)) {
        return;
    }
    // Into the grids as one step of the history, then the write-back with its verify.
    settings::FillModelFromFile(content, model);
    ShowLoadedMode(content.ModeIndex(), "restore of " + named);
    restoring_ = restoredName;
    btnSaveToDevClick();
    restoring_.clear();
}

void MoreMenu::ShowBackups() {
    if (form_.SequenceRunning() || !form_.model.IsSetUp()) {
        return;
    }
    const settings::BackupStore store = Store();
    const std::vector<settings::BackupEntry> entries = store.List();
    const settings::SettingValues shown = settings::ValuesOf(form_.model, ui_.OpModeIndex());
    std::vector<BackupsDialog::Row> rows;
    for (const settings::BackupEntry& entry : entries) {
        const settings::SettingsReadResult read = settings::ReadSettingsFile(entry.path.string());
        rows.push_back(
            {QString::fromStdString(entry.time), QString::fromStdString(entry.accountId),
             QString::fromStdString(entry.firmware),
             read.content
                 ? static_cast<int>(
                       settings::CompareSettings(shown, settings::ValuesOf(*read.content)).size())
                 : -1});
    }
    const bool loggedIn = form_.DeviceLoggedIn();
    BackupsDialog dialog(&form_, QString::fromLocal8Bit(store.Folder().string().c_str()), rows,
                         loggedIn);
    ExecWindowModal(dialog);
    if (dialog.Chosen() == BackupsDialog::Choice::kNone) {
        return;
    }
    const settings::BackupEntry& entry = entries[static_cast<std::size_t>(dialog.ChosenRow())];
    const QString path = FromLocalPath(entry.path.string());
    if (dialog.Chosen() == BackupsDialog::Choice::kOpen) {
        if (form_.DeviceLoggedIn()) {
            CompareWithNamedFile(path);
        } else {
            form_.OpenSettingsFile(path);
        }
        return;
    }
    const QString named =
        QString("the backup of %1 (%2)")
            .arg(QString::fromStdString(entry.time), Owner(entry.accountId, entry.firmware));
    const QString question =
        QString(
            "Write %1 to the device logged in (%2)?\n\nWhat the device holds now is backed "
            "up first.")
            .arg(named, Owner(pending_.Held().AccountId(), pending_.Held().Firmware()));
    if (AskYesNo(&form_, question) && form_.DeviceLoggedIn()) {
        // Said when verified: "Restored the backup of 2026-12-10 10:06 (12AB) and verified".
        form_.RestoreBackup(
            path, named,
            QString("the backup of %1 (%2)")
                .arg(QString::fromStdString(entry.time).left(16), FromCp1250(entry.accountId)));
    }
}

}  // namespace quelvar::ui

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

QString Owner(const std::string& accountId, const std::string& firmware) {
    return QString("account ID %1, firmware %2").arg(FromCp1250(accountId), FromCp1250(firmware));
}

}  // namespace

void TFormMain::DeviceSettingsRead(bool complete) {
    heldSettings_ = settings::BuildSettingsFile("", model, OpModeIndex()).value_or("");
    heldAccountId_ = settings::AccountIdOf(model);
    // Cells that went unanswered show empty: the backup reads the device again.
    heldStale_ = !complete || heldSettings_.empty();
    history->Reset();
}

bool TFormMain::ReadHeldSettings() {
    settings::SettingsModel held;
    exchange::DeviceSession session(*exchange, {}, exchange::kSilenceLimit);
    const exchange::ReadAllResult read = session.ReadEverything(held);
    NoteDeviceSettings(held, read.modeIndex, read.Complete());
    return !heldStale_;
}

void TFormMain::NoteDeviceSettings(const settings::SettingsModel& held, int modeIndex,
                                   bool complete) {
    const std::optional<std::string> bytes = settings::BuildSettingsFile("", held, modeIndex);
    if (!complete || !bytes) {
        heldStale_ = true;
        return;
    }
    heldSettings_ = *bytes;
    heldAccountId_ = settings::AccountIdOf(held);
    heldStale_ = false;
}

bool TFormMain::BackUpBeforeOverwrite() {
    std::string error;
    lastBackupTime_.clear();
    if (heldStale_ && !ReadHeldSettings()) {
        error = "the device did not answer every read";
    }
    if (error.empty()) {
        error = Store().Save(heldSettings_, heldAccountId_, heldFirmware_).error;
        lastBackupTime_ = error.empty() ? QTime::currentTime().toString("HH:mm") : QString();
    }
    if (!error.empty()) {
        const QString text = "The backup of the device's settings could not be written (" +
                             QString::fromLocal8Bit(error.c_str()) +
                             ").\n\nWrite without a backup?";
        // The device may have been swapped while the question was open.
        if (!AskYesNo(this, text) || !LoggedInDevice()) {
            SetStatusText(2, "Nothing was written: no backup");
            return false;
        }
    }
    // What follows overwrites the device: the next backup reads it again.
    heldStale_ = true;
    heldUncertain_ = true;
    return true;
}

void TFormMain::ShowBackups() {
    if (sequenceRunning_ || !model.IsSetUp()) {
        return;
    }
    const settings::BackupStore store = Store();
    const std::vector<settings::BackupEntry> entries = store.List();
    const settings::SettingValues shown = settings::ValuesOf(model, OpModeIndex());
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
    const bool loggedIn = DeviceLoggedIn();
    BackupsDialog dialog(this, QString::fromLocal8Bit(store.Folder().string().c_str()), rows,
                         loggedIn);
    ExecWindowModal(dialog);
    if (dialog.Chosen() == BackupsDialog::Choice::kNone) {
        return;
    }
    const settings::BackupEntry& entry = entries[static_cast<std::size_t>(dialog.ChosenRow())];
    const QString path = FromLocalPath(entry.path.string());
    if (dialog.Chosen() == BackupsDialog::Choice::kOpen) {
        if (DeviceLoggedIn()) {
            CompareWithNamedFile(path);
        } else {
            OpenSettingsFile(path);
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
            .arg(named, Owner(HeldAccountId(), heldFirmware_));
    if (AskYesNo(this, question) && DeviceLoggedIn()) {
        // Said when verified: "Restored the backup of 2026-12-10 10:06 (12AB) and verified".
        restoring_ =
            QString("the backup of %1 (%2)")
                .arg(QString::fromStdString(entry.time).left(16), FromCp1250(entry.accountId));
        RestoreBackup(path, named);
        restoring_.clear();
    }
}

void TFormMain::RestoreBackup(const QString& path, const QString& named) {
    const settings::SettingsReadResult read = settings::ReadSettingsFile(ToLocalPath(path));
    if (!read.content) {
        ShowError(QString::fromLocal8Bit(read.error.c_str()));
        return;
    }
    // What the device held may be what no editor makes: the same question as a load.
    const std::vector<settings::Finding> findings = settings::CheckSettingsFile(*read.content);
    if (settings::HasBlockingFindings(findings) &&
        !ConfirmLoadWithFindings(
            this, named, findings,
            [this](const settings::SettingPlace& place) { return GroupCaptionOf(place); }, true)) {
        return;
    }
    // Into the grids as one step of the history, then the write-back with its verify.
    settings::FillModelFromFile(*read.content, model);
    ShowLoadedMode(read.content->ModeIndex(), "restore of " + named);
    SetSaveToDevImage(kPendingImage);
    btnSaveToDevClick();
}

}  // namespace quelvar::ui

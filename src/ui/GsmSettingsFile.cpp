// Saving the settings to an am2 file and loading them, which also applies them to the device.

#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QRegularExpression>
#include <QStringList>
#include <QTime>
#include <algorithm>

#include "exchange/Sequences.h"
#include "exchange/SettingsLoad.h"
#include "settings/BackupStore.h"
#include "settings/SettingsCheck.h"
#include "settings/SettingsFile.h"
#include "ui/EditHistory.h"
#include "ui/FindingsDialog.h"
#include "ui/Gsm.h"
#include "ui/MonitorPause.h"
#include "ui/QtText.h"
#include "ui/WindowDialogs.h"

namespace quelvar::ui {

namespace {

std::string LocalPath(const QString& name) {
    return ToLocalPath(name);
}

}  // namespace

QString TFormMain::AskFileName(bool forSaving) {
    if (askFileName_) {
        return askFileName_(forSaving);
    }
    const QString filter = "Settings (*.am2)";
    return forSaving ? AskSaveFileName(this, "Save settings", OfferedFileName(), filter, "am2")
                     : AskOpenFileName(this, "Open settings", filter, "am2");
}

QString TFormMain::OfferedFileName() const {
    if (!currentFile_.isEmpty()) {
        return currentFile_;
    }
    // A device's settings without a file yet: its account ID names the site, where a file
    // name can hold it.
    const QString account = FromCp1250(settings::AccountIdOf(model));
    static const QRegularExpression plain("^[A-Za-z0-9._+-]+$");
    return plain.match(account).hasMatch() ? account + ".am2" : QString();
}

void TFormMain::ShowError(const QString& text) {
    ShowPlainMessage(this, QMessageBox::Warning, kCaption, text);
}

void TFormMain::tbtnSaveClick() {
    SequenceGuard sequence(*this);
    if (!sequence.Started() || !model.IsSetUp()) {
        return;
    }
    const QString name = AskFileName(true);
    if (!name.isEmpty()) {
        SaveSettingsTo(name);
    }
}

bool TFormMain::SaveSettingsTo(const QString& name) {
    MonitorPause pause(Timer1);
    const settings::SettingsSaveResult saved =
        settings::SaveSettingsFile(model, OpModeIndex(), LocalPath(name));
    pause.Resume();
    if (!saved.ok) {
        ShowError(QString("Unable to write to %1").arg(name) + "\n" +
                  QString::fromLocal8Bit(saved.reason.c_str()));
        return false;
    }
    currentFile_ = name;
    RememberRecentFile(name);
    // The offline view now shows the file just written.
    if (document_.Offline()) {
        document_.ShowFile(name);
        RememberHeld(OpModeIndex());
        SetStatusText(1, QFileInfo(name).fileName());
    }
    SetStatusText(2, QString("Saved to %1").arg(QFileInfo(name).fileName()));
    return true;
}

void TFormMain::tbtnOpenClick() {
    SequenceGuard sequence(*this);
    if (!sequence.Started() || !model.IsSetUp() || !exchange) {
        return;
    }
    // Whether the file goes to a device is decided once it is chosen: the device may have
    // come, gone or been swapped while the dialog was open.
    const QString name = AskFileName(false);
    if (!name.isEmpty()) {
        OpenNamedFile(name);
    }
}

void TFormMain::OpenSettingsFile(const QString& name) {
    SequenceGuard sequence(*this);
    if (sequence.Started() && model.IsSetUp() && exchange) {
        OpenNamedFile(name);
    }
}

void TFormMain::OpenNamedFile(const QString& name) {
    MonitorPause pause(Timer1);
    const settings::SettingsReadResult read = settings::ReadSettingsFile(LocalPath(name));
    if (!read.content) {
        // Not a settings file: nothing in the window changes and nothing is sent.
        pause.Resume();
        ShowError(QString::fromLocal8Bit(read.error.c_str()));
        return;
    }
    RememberRecentFile(name);  // a settings file, whether or not it is loaded now
    // Missing keys would clear settings on the device, and values no editor makes would go to
    // it unchecked: the user decides before anything changes.
    const std::vector<settings::Finding> findings = settings::CheckSettingsFile(*read.content);
    const bool withFindings = settings::HasBlockingFindings(findings);
    const auto caption = [this](const settings::SettingPlace& place) {
        return GroupCaptionOf(place);
    };
    // A key given twice holds two values: the user sees which one is read.
    const bool repeats = std::any_of(findings.begin(), findings.end(), [](const auto& finding) {
        return finding.kind == settings::FindingKind::kRepeated;
    });
    if ((withFindings || repeats) &&
        !ConfirmLoadWithFindings(this, QFileInfo(name).fileName(), findings, caption,
                                 DeviceLoggedIn())) {
        return;
    }
    // Without the device logged in (none, a cancelled password, a swapped one) the file is only
    // shown; the one logged in is held for the sends that follow.
    if (!DeviceLoggedIn() || !LoggedInDevice()) {
        // A device pulled since the last tick: its settings leave the window first.
        if (deviceState_.ConnectedShown() && NoDeviceAttached()) {
            DisconnectTransition();
        }
        ShowOfflineView(name, *read.content);
        return;
    }
    sequenceStatus_ = QString("Loading %1 into the device...").arg(QFileInfo(name).fileName());
    SetStatusText(2, sequenceStatus_);
    exchange::DeviceSession session(*exchange, {}, exchange::kSilenceLimit);
    settings::BackupStore store(settings::DefaultBackupFolder(std::getenv));
    lastBackupTime_.clear();
    exchange::SettingsLoadResult loaded;
    const exchange::SequenceOutcome outcome =
        exchange::RunLoad(session, *read.content, model, BackupAsking(store), held_, loaded);
    sequenceStatus_.clear();
    if (outcome.ending == exchange::Ending::kNoBackup ||
        (outcome.Cut() && outcome.holds == exchange::DeviceHolds::kUnchanged)) {
        // Nothing was sent: the grids still show what they showed.
        SetStatusText(2, FromCp1250(exchange::DescribeOutcome(outcome)));
        return;
    }
    if (!outcome.backupPath.empty()) {
        lastBackupTime_ = QTime::currentTime().toString("HH:mm");
    }
    if (withFindings) {
        settings::ShowWhatWasSent(model, findings);
    }
    currentFile_ = name;
    ShowLoadedMode(loaded.modeIndex, "load of " + QFileInfo(name).fileName());
    pause.Resume();
    ReportLoad(QFileInfo(name).fileName(), loaded, session);
}

void TFormMain::ShowLoadedMode(int modeIndex, const QString& step) {
    if (modeIndex != OpModeIndex()) {
        SelectOpMode(modeIndex);
        ApplyModeLayout(modeIndex == 0 ? Mode::kStandalone : Mode::kTransparent);
    }
    // The load is one named step; the mark would otherwise record it as an unnamed edit.
    history->Capture(step);
    MarkIfModeDiffersFromHeld();
}

bool TFormMain::NoDeviceAttached() const {
    return !connection || connection->Attachment() == 0;
}

QString TFormMain::GroupCaptionOf(const settings::SettingPlace& place) const {
    switch (place.group) {
        case settings::SettingGroup::kTable:
            if (const StringGridView* view = ViewOf(model.Grid(place.table))) {
                if (const auto* box = qobject_cast<const QGroupBox*>(view->parentWidget())) {
                    return box->title();
                }
            }
            return FromCp1250(std::string(settings::TableOf(place.table).name));
        case settings::SettingGroup::kAlarmGrid:
            return Label2->text();
        case settings::SettingGroup::kInputGrid:
            return gbIntevents->title();
        case settings::SettingGroup::kMode:
            return rgOpMode->title();
    }
    return {};
}

void TFormMain::ReportLoad(const QString& file, const exchange::SettingsLoadResult& loaded,
                           const exchange::DeviceSession& session) {
    const int unanswered =
        loaded.unansweredSets + loaded.unsentSets + loaded.unansweredMemoryRequests;
    if (session.Fault() == exchange::SessionFault::kSilent || (loaded.stopped && unanswered == 0)) {
        SetStatusText(2, SessionFaultText(session, "it holds part of " + file));
    } else if (loaded.noDevice) {
        SetStatusText(2, "Loaded; no device to send the settings to");
    } else if (unanswered > 0) {
        SetStatusText(2, QString("Loaded; %1 commands unanswered by the device").arg(unanswered));
    } else {
        // The device holds the file's settings now; its mode changes with the next write-back.
        held_.Remember(model, held_.Mode(), held_.AckMask());
        ClearMarkIfNothingDiffers();  // earlier edits the file replaced wait no longer
        // Open overwrites the device at once: where its old settings went is said with it.
        const QString kept = lastBackupTime_.isEmpty()
                                 ? QString()
                                 : QString(
                                       "; what it held is in the backup of %1 (More > "
                                       "Backups...)")
                                       .arg(lastBackupTime_);
        SetStatusText(2, QString("Loaded %1 into the device").arg(file) + kept);
    }
    if (!loaded.tooLongKeys.empty()) {
        QStringList keys;
        for (const std::string& key : loaded.tooLongKeys) {
            keys << FromCp1250(key);
        }
        ShowError("These values are too long to send to the device and were not sent: " +
                  keys.join(", "));
    }
}

}  // namespace quelvar::ui

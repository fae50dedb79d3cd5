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

void ShowWarning(QWidget* parent, const QString& text) {
    ShowPlainMessage(parent, QMessageBox::Warning, kCaption, text);
}

void TFormMain::tbtnSaveClick() {
    SequenceGuard sequence(*this);
    if (!sequence.Started() || !model.IsSetUp()) {
        return;
    }
    const QString name = file_.AskFileName(true);
    if (!name.isEmpty()) {
        file_.SaveTo(name);
    }
}

void TFormMain::tbtnOpenClick() {
    SequenceGuard sequence(*this);
    if (!sequence.Started() || !model.IsSetUp() || !exchange) {
        return;
    }
    // Whether the file goes to a device is decided once it is chosen: the device may have
    // come, gone or been swapped while the dialog was open.
    const QString name = file_.AskFileName(false);
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
        ShowWarning(this, QString::fromLocal8Bit(read.error.c_str()));
        return;
    }
    RememberRecentFile(name);  // a settings file, whether or not it is loaded now
    // Missing keys would clear settings on the device, and values no editor makes would go to
    // it unchecked: the user decides before anything changes.
    const std::vector<settings::Finding> findings = settings::CheckSettingsFile(*read.content);
    const bool withFindings = settings::HasBlockingFindings(findings);
    const auto caption = [this](const settings::SettingPlace& place) {
        return ui.GroupCaptionOf(place, model);
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
    if (!DeviceLoggedIn() || !monitor_.LoggedInDevice()) {
        // A device pulled since the last tick: its settings leave the window first.
        if (monitor_.State().ConnectedShown() && monitor_.NoDeviceAttached()) {
            DisconnectTransition();
        }
        ShowOfflineView(name, *read.content);
        return;
    }
    sequenceStatus_ = QString("Loading %1 into the device...").arg(QFileInfo(name).fileName());
    ui.SetStatusText(2, sequenceStatus_);
    exchange::DeviceSession session = WindowSession(*exchange, *connection, ui.pb1);
    settings::BackupStore store(settings::DefaultBackupFolder(std::getenv));
    exchange::SettingsLoadResult loaded;
    const QString file = QFileInfo(name).fileName();
    const exchange::SequenceOutcome outcome =
        exchange::RunLoad(session, *read.content, ToCp1250(file).value_or(""), model,
                          BackupAsking(store), pending_.Held(), loaded);
    sequenceStatus_.clear();
    // Unless nothing was sent, the grids show the file now.
    if (outcome.ending != exchange::Ending::kNoBackup &&
        !(outcome.Cut() && outcome.holds == exchange::DeviceHolds::kUnchanged)) {
        if (withFindings) {
            settings::ShowWhatWasSent(model, findings);
        }
        file_.Opened(name);
        ShowLoadedMode(loaded.modeIndex, "load of " + file);
    }
    std::optional<std::string> loadedSettings;
    if (outcome.holds == exchange::DeviceHolds::kAsWritten) {
        // The device holds the file's settings now; its mode changes with the next write-back.
        pending_.Held().Remember(model, pending_.Held().Mode(), pending_.Held().AckMask());
        loadedSettings = sites::SettingsBytes(model, pending_.Held().Mode());
    }
    sites_.RecordSequence(sites::RevisionKind::kLoad, outcome, loadedSettings,
                          SiteRecords::Facts(connection.get(), pending_.Held()));
    sites_.ShowCustomer(pending_.Held().AccountId());
    pause.Resume();
    ReportOutcome(outcome);
    if (!loaded.tooLongKeys.empty()) {
        QStringList keys;
        for (const std::string& key : loaded.tooLongKeys) {
            keys << FromCp1250(key);
        }
        ShowWarning(this, "These values are too long to send to the device and were not sent: " +
                              keys.join(", "));
    }
}

void TFormMain::ShowLoadedMode(int modeIndex, const QString& step) {
    if (modeIndex != ui.OpModeIndex()) {
        ui.SelectOpMode(modeIndex);
        ApplyModeLayout(modeIndex == 0 ? Mode::kStandalone : Mode::kTransparent);
    }
    // The load is one named step; the mark would otherwise record it as an unnamed edit.
    ui.history->Capture(step);
}

}  // namespace quelvar::ui

// The "More" tool button: comparing the window with a settings file, the differences the last
// verify found, and the device log.

#include <QFile>
#include <QFileInfo>
#include <QShortcut>
#include <QStringList>
#include <cstdlib>

#include "settings/BackupStore.h"
#include "settings/RecentFiles.h"
#include "settings/SettingsCheck.h"
#include "settings/SettingsFile.h"
#include "ui/CompareDialog.h"
#include "ui/DeviceLog.h"
#include "ui/DeviceLogWindow.h"
#include "ui/Gsm.h"
#include "ui/GsmDocument.h"
#include "ui/GsmMoreMenu.h"
#include "ui/QtText.h"
#include "ui/ReconnectPanel.h"
#include "ui/WindowDialogs.h"

namespace quelvar::ui {

namespace {

QStringList FindingLines(const std::vector<settings::Finding>& findings) {
    QStringList lines;
    for (const settings::Finding& finding : findings) {
        lines << QString::fromStdString(settings::FormatFinding(finding));
    }
    return lines;
}

}  // namespace

MoreMenu::MoreMenu(TFormMain& form, MainControls& ui, SettingsDocument& file,
                   const PendingMark& pending, const exchange::VerifyResult& lastVerify)
    : form_(form), ui_(ui), file_(file), pending_(pending), lastVerify_(lastVerify) {}

void MoreMenu::Bind() {
    connect(ui_.actCompare, &QAction::triggered, this, &MoreMenu::CompareWithFile);
    connect(ui_.mnuRecent, &QMenu::aboutToShow, this, &MoreMenu::FillRecentFiles);
    connect(ui_.actShowDifferences, &QAction::triggered, this, &MoreMenu::ShowDifferences);
    connect(ui_.actDeviceLog, &QAction::triggered, this, &MoreMenu::ShowDeviceLog);
    connect(ui_.actPrintSettings, &QAction::triggered, this, &MoreMenu::PrintSettings);
    connect(ui_.actBackups, &QAction::triggered, this, &MoreMenu::ShowBackups);
    connect(ui_.actSites, &QAction::triggered, this, &MoreMenu::ShowSites);
    connect(ui_.actChooseDevice, &QAction::triggered, this, &MoreMenu::ChooseDevice);
    connect(ui_.actProvision, &QAction::triggered, this, &MoreMenu::ProvisionDevices);
    // Shown once the click is over, so that the button is not left drawn pressed while the
    // item chosen runs its dialog.
    connect(ui_.btnMore, &QToolButton::clicked, this, [this] {
        ui_.mnuMore->popup(ui_.btnMore->mapToGlobal(QPoint(0, ui_.btnMore->height())));
    });
}

namespace {

settings::RecentFiles Recent() {
    return settings::RecentFiles(
        settings::DefaultRecentFilesStore(settings::DefaultBackupFolder(std::getenv)));
}

}  // namespace

void MoreMenu::FillRecentFiles() {
    ui_.mnuRecent->clear();
    for (const std::string& path : Recent().List()) {
        const QString name = FromLocalPath(path);
        // Opened as Open opens a file: with a device logged in it goes to the device.
        ui_.mnuRecent->addAction(name, this, [this, name] {
            if (!form_.SequenceRunning()) {
                form_.OpenSettingsFile(name);
            }
        });
    }
    if (ui_.mnuRecent->isEmpty()) {
        ui_.mnuRecent->addAction("(none yet)")->setEnabled(false);
    }
}

void RememberRecentFile(const QString& name) {
    Recent().Add(ToLocalPath(QFileInfo(name).absoluteFilePath()));
}

void MoreMenu::CompareWithFile() {
    if (form_.SequenceRunning() || !form_.model.IsSetUp()) {
        return;
    }
    const QString name = file_.AskFileName(false);
    if (!name.isEmpty()) {
        CompareWithNamedFile(name);
    }
}

void MoreMenu::CompareWithNamedFile(const QString& name) {
    const settings::SettingsReadResult read = settings::ReadSettingsFile(ToLocalPath(name));
    if (!read.content) {
        ShowWarning(&form_, QString::fromLocal8Bit(read.error.c_str()));
        return;
    }
    const std::vector<settings::SettingDifference> differences = settings::CompareSettings(
        settings::ValuesOf(form_.model, ui_.OpModeIndex()), settings::ValuesOf(*read.content));
    CompareDialog::Content content;
    // Titled as the menu item that opened it; the file's name heads its column.
    content.title = "Compare with file";
    content.secondSide = QFileInfo(name).fileName();
    content.rows = DifferenceRows(differences, [this](const settings::SettingPlace& place) {
        return ui_.GroupCaptionOf(place, form_.model);
    });
    content.findings = FindingLines(settings::CheckSettingsFile(*read.content));
    content.summary = differences.empty()
                          ? QString(kFileMatchesWindow)
                          : DifferenceSummary(static_cast<int>(differences.size()),
                                              static_cast<int>(settings::AllSettings().size()));
    if (form_.DeviceLoggedIn()) {
        content.summary += "; the acknowledgement marks are in no settings file, not compared";
    }
    content.offerLoad = true;
    CompareDialog dialog(&form_, content);
    ExecWindowModal(dialog);
    if (dialog.LoadChosen()) {
        form_.OpenSettingsFile(name);
    }
}

void MoreMenu::ShowDifferences() {
    const exchange::VerifyResult& lastVerify = lastVerify_;
    CompareDialog::Content content;
    content.title = "Differences after the write-back";
    content.secondSide = "Device";
    content.rows =
        DifferenceRows(lastVerify.differences, [this](const settings::SettingPlace& place) {
            return ui_.GroupCaptionOf(place, form_.model);
        });
    if (lastVerify.deviceAckMask) {
        settings::SettingPlace phones;
        phones.table = settings::TableId::kPhoneNumbers;
        const std::string header =
            form_.model.Grid(settings::TableId::kPhoneNumbers).Cell(settings::kAckColumn, 0);
        content.rows.push_back({ui_.GroupCaptionOf(phones, form_.model), "GACK", FromCp1250(header),
                                QString::fromStdString(form_.ackMask()),
                                QString::fromStdString(*lastVerify.deviceAckMask)});
    }
    // Counted as everywhere else: the marks' GACK among the 467, as the command line counts it.
    content.summary =
        DifferenceSummary(lastVerify.Differing(), static_cast<int>(settings::AllSettings().size()));
    CompareDialog dialog(&form_, content);
    ExecWindowModal(dialog);
}

void MoreMenu::ShowDeviceLog() {
    if (ui_.deviceLogWindow == nullptr) {
        ui_.deviceLogWindow = new DeviceLogWindow(*ui_.deviceLog, &form_);
        ui_.deviceLogWindow->setObjectName("deviceLogWindow");
    }
    ui_.deviceLogWindow->show();
    ui_.deviceLogWindow->raise();
    ui_.deviceLogWindow->activateWindow();
}

}  // namespace quelvar::ui

// The "More" tool button: comparing the window with a settings file, the differences the last
// verify found, and the device log.

#include <QFile>
#include <QFileInfo>
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
#include "ui/QtText.h"
#include "ui/ToolImages.h"
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

void TFormMain::BuildMoreButton() {
    // Beside the four tool buttons, as they are built.
    btnMore = new QToolButton(ToolBar1);
    btnMore->setObjectName("btnMore");
    btnMore->setIcon(QIcon(DrawToolImage(ToolImage::kMore)));
    btnMore->setIconSize(QSize(32, 32));
    btnMore->setFixedSize(39, 51);
    btnMore->setToolTip("More");
    btnMore->setAutoRaise(true);
    btnMore->setStyleSheet("QToolButton::menu-indicator { image: none; }");
    mnuMore = new QMenu(btnMore);
    actCompare = mnuMore->addAction("Compare with file...", this, &TFormMain::CompareWithFile);
    mnuRecent = mnuMore->addMenu("Recent files");
    connect(mnuRecent, &QMenu::aboutToShow, this, &TFormMain::FillRecentFiles);
    actShowDifferences = mnuMore->addAction("Show differences", this, &TFormMain::ShowDifferences);
    actShowDifferences->setEnabled(false);
    mnuMore->addSeparator();
    actDeviceLog = mnuMore->addAction("Device log...", this, &TFormMain::ShowDeviceLog);
    actPrintSettings = mnuMore->addAction("Print settings...", this, &TFormMain::PrintSettings);
    deviceLog = new DeviceLog(this);
    // Shown once the click is over, so that the button is not left drawn pressed while the
    // item chosen runs its dialog.
    connect(btnMore, &QToolButton::clicked, this,
            [this] { mnuMore->popup(btnMore->mapToGlobal(QPoint(0, btnMore->height()))); });
    ToolBar1->addWidget(btnMore);
}

namespace {

settings::RecentFiles Recent() {
    return settings::RecentFiles(
        settings::DefaultRecentFilesStore(settings::DefaultBackupFolder(std::getenv)));
}

}  // namespace

void TFormMain::FillRecentFiles() {
    mnuRecent->clear();
    for (const std::string& path : Recent().List()) {
        const QString name = FromLocalPath(path);
        // Opened as Open opens a file: with a device logged in it goes to the device.
        mnuRecent->addAction(name, this, [this, name] {
            if (!sequenceRunning_) {
                OpenSettingsFile(name);
            }
        });
    }
    if (mnuRecent->isEmpty()) {
        mnuRecent->addAction("(none yet)")->setEnabled(false);
    }
}

void TFormMain::RememberRecentFile(const QString& name) {
    // A list that cannot be kept costs only the convenience: nothing else depends on it.
    Recent().Add(ToLocalPath(QFileInfo(name).absoluteFilePath()));
}

void TFormMain::CompareWithFile() {
    if (sequenceRunning_ || !model.IsSetUp()) {
        return;
    }
    const QString name = AskFileName(false);
    if (!name.isEmpty()) {
        CompareWithNamedFile(name);
    }
}

void TFormMain::CompareWithNamedFile(const QString& name) {
    const settings::SettingsReadResult read = settings::ReadSettingsFile(ToLocalPath(name));
    if (!read.content) {
        ShowError(QString::fromLocal8Bit(read.error.c_str()));
        return;
    }
    const std::vector<settings::SettingDifference> differences = settings::CompareSettings(
        settings::ValuesOf(model, OpModeIndex()), settings::ValuesOf(*read.content));
    CompareDialog::Content content;
    // Titled as the menu item that opened it; the file's name heads its column.
    content.title = "Compare with file";
    content.secondSide = QFileInfo(name).fileName();
    content.rows = DifferenceRows(
        differences, [this](const settings::SettingPlace& place) { return GroupCaptionOf(place); });
    content.findings = FindingLines(settings::CheckSettingsFile(*read.content));
    content.summary = differences.empty()
                          ? QString(kFileMatchesWindow)
                          : DifferenceSummary(static_cast<int>(differences.size()),
                                              static_cast<int>(settings::AllSettings().size()));
    if (DeviceLoggedIn()) {
        content.summary += "; the acknowledgement marks are in no settings file, not compared";
    }
    content.offerLoad = true;
    CompareDialog dialog(this, content);
    ExecWindowModal(dialog);
    if (dialog.LoadChosen()) {
        OpenSettingsFile(name);
    }
}

void TFormMain::ShowDifferences() {
    CompareDialog::Content content;
    content.title = "Differences after the write-back";
    content.secondSide = "Device";
    content.rows = DifferenceRows(
        lastVerify_.differences,
        [this](const settings::SettingPlace& place) { return GroupCaptionOf(place); });
    if (lastVerify_.deviceAckMask) {
        settings::SettingPlace phones;
        phones.table = settings::TableId::kPhoneNumbers;
        const std::string header =
            model.Grid(settings::TableId::kPhoneNumbers).Cell(settings::kAckColumn, 0);
        content.rows.push_back({GroupCaptionOf(phones), "GACK", FromCp1250(header),
                                QString::fromStdString(ackMask),
                                QString::fromStdString(*lastVerify_.deviceAckMask)});
    }
    // Counted as everywhere else: the marks' GACK among the 467, as the command line counts it.
    content.summary = DifferenceSummary(lastVerify_.Differing(),
                                        static_cast<int>(settings::AllSettings().size()));
    CompareDialog dialog(this, content);
    ExecWindowModal(dialog);
}

void TFormMain::ShowDeviceLog() {
    if (deviceLogWindow == nullptr) {
        deviceLogWindow = new DeviceLogWindow(*deviceLog, this);
        deviceLogWindow->setObjectName("deviceLogWindow");
    }
    deviceLogWindow->show();
    deviceLogWindow->raise();
    deviceLogWindow->activateWindow();
}

}  // namespace quelvar::ui

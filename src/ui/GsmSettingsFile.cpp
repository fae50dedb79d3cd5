// Saving the settings to an am2 file and loading them, which also applies them to the device.

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStringList>

#include "exchange/SettingsLoad.h"
#include "settings/SettingsCheck.h"
#include "settings/SettingsFile.h"
#include "ui/FindingsDialog.h"
#include "ui/Gsm.h"
#include "ui/QtText.h"

namespace quelvar::ui {

namespace {

QString AskWithDialog(QWidget* parent, bool forSaving) {
    QFileDialog dialog(parent);
    dialog.setNameFilter("Settings(*.am2)");
    dialog.setDefaultSuffix("am2");
    if (forSaving) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setOption(QFileDialog::ReadOnly);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().first();
}

std::string LocalPath(const QString& name) {
    return QFile::encodeName(name).toStdString();
}

}  // namespace

QString TFormMain::AskFileName(bool forSaving) {
    return askFileName_ ? askFileName_(forSaving) : AskWithDialog(this, forSaving);
}

void TFormMain::ShowError(const QString& text) {
    QMessageBox::warning(this, kCaption, text);
}

void TFormMain::tbtnSaveClick() {
    SequenceGuard sequence(*this);
    if (!sequence.Started() || !model.IsSetUp()) {
        return;
    }
    const QString name = AskFileName(true);
    if (name.isEmpty()) {
        return;
    }
    Timer1.stop();
    const settings::SettingsSaveResult saved =
        settings::SaveSettingsFile(model, OpModeIndex(), LocalPath(name));
    Timer1.start();
    if (!saved.ok) {
        ShowError(QString("Unable to write to %1").arg(name) + "\n" +
                  QString::fromLocal8Bit(saved.reason.c_str()));
    }
}

void TFormMain::tbtnOpenClick() {
    SequenceGuard sequence(*this);
    // Without any device the file only goes into the window; a device that is there must be
    // the one logged in.
    if (!sequence.Started() || !model.IsSetUp() || !exchange ||
        !(NoDeviceAttached() || LoggedInDevice())) {
        return;
    }
    const QString name = AskFileName(false);
    // Checked again: the device may have come, gone or been swapped while the dialog was open.
    if (name.isEmpty() || !(NoDeviceAttached() || LoggedInDevice())) {
        return;
    }
    Timer1.stop();
    const settings::SettingsReadResult read = settings::ReadSettingsFile(LocalPath(name));
    if (!read.content) {
        // Not a settings file: nothing in the window changes and nothing is sent.
        Timer1.start();
        ShowError(QString::fromLocal8Bit(read.error.c_str()));
        return;
    }
    // Missing keys would clear settings on the device, and values no editor makes would go to
    // it unchecked: the user decides before anything changes.
    const std::vector<settings::Finding> findings = settings::CheckSettingsFile(*read.content);
    const bool withFindings = settings::HasBlockingFindings(findings);
    if (withFindings && !ConfirmLoadWithFindings(this, QFileInfo(name).fileName(), findings,
                                                 [this](const settings::SettingPlace& place) {
                                                     return GroupCaptionOf(place);
                                                 })) {
        Timer1.start();
        return;
    }
    if (NoDeviceAttached()) {
        settings::FillModelFromFile(*read.content, model);
        ShowLoadedMode(read.content->ModeIndex());
        Timer1.start();
        SetStatusText(2, "Loaded into the window; no device connected, nothing was sent");
        return;
    }
    const exchange::SettingsLoadResult loaded =
        exchange::ApplySettingsFile(*read.content, model, *exchange);
    if (withFindings) {
        settings::ShowWhatWasSent(model, findings);
    }
    ShowLoadedMode(loaded.modeIndex);
    Timer1.start();
    ReportLoad(loaded);
}

void TFormMain::ShowLoadedMode(int modeIndex) {
    if (modeIndex != OpModeIndex()) {
        SelectOpMode(modeIndex);
        ApplyModeLayout(modeIndex == 0 ? Mode::kStandalone : Mode::kTransparent);
    }
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

void TFormMain::ReportLoad(const exchange::SettingsLoadResult& loaded) {
    const int unanswered = loaded.unansweredSets + loaded.unansweredMemoryRequests;
    if (loaded.noDevice) {
        SetStatusText(2, "Loaded; no device to send the settings to");
    } else if (unanswered > 0) {
        SetStatusText(2, QString("Loaded; %1 commands unanswered by the device").arg(unanswered));
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

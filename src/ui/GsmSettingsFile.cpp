// Saving the settings to an am2 file and loading them, which also applies them to the device.

#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

#include "exchange/SettingsLoad.h"
#include "settings/SettingsFile.h"
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
    if (!sequence.Started() || !model.IsSetUp() || !exchange || !LoggedInDevice()) {
        return;
    }
    const QString name = AskFileName(false);
    // Checked again: the device may have been swapped while the dialog was open.
    if (name.isEmpty() || !LoggedInDevice()) {
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
    const exchange::SettingsLoadResult loaded =
        exchange::ApplySettingsFile(*read.content, model, *exchange);
    if (loaded.modeIndex != OpModeIndex()) {
        SelectOpMode(loaded.modeIndex);
        ApplyModeLayout(loaded.modeIndex == 0 ? Mode::kStandalone : Mode::kTransparent);
    }
    Timer1.start();
    ReportLoad(loaded);
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

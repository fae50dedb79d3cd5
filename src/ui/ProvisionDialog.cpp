#include "ui/ProvisionDialog.h"

#include <QBrush>
#include <QCoreApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QProgressBar>
#include <QVBoxLayout>
#include <cstdlib>

#include "exchange/DevicePassword.h"
#include "register/SequenceRevision.h"
#include "settings/BackupStore.h"
#include "settings/SettingsCheck.h"
#include "settings/ValuesFile.h"
#include "ui/DialogFont.h"
#include "ui/QtText.h"
#include "ui/WindowDialogs.h"

namespace quelvar::ui {

namespace {

constexpr int kLookInterval = 100;  // ms between looks at the communicators attached
const QColor kVerified(0, 128, 0);
const QColor kNotVerified(192, 0, 0);

QLineEdit* FileField(QWidget* parent, const char* name) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(name);
    return field;
}

QPushButton* BrowseButton(QWidget* parent, const char* name) {
    auto* button = new QPushButton("Browse...", parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

QWidget* Row(QWidget* parent, QLineEdit* field, QPushButton* button) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(field, 1);
    layout->addWidget(button);
    return row;
}

bool FourDigitsOrNone(const QString& text) {
    return text.isEmpty() || exchange::EncodePassword(text.toStdString()).has_value();
}

}  // namespace

ProvisionDialog::ProvisionDialog(link::HidPlatform& platform, sites::RegisterUse& sites,
                                 QWidget* parent)
    : QDialog(parent), platform_(platform), sites_(sites) {
    setWindowTitle(kProvisionTitle);
    setFont(DialogFont(9));
    edTemplate = FileField(this, "edTemplate");
    edValues = FileField(this, "edValues");
    edRecord = FileField(this, "edRecord");
    edPassword = FileField(this, "edPassword");
    edNewPassword = FileField(this, "edNewPassword");
    for (QLineEdit* password : {edPassword, edNewPassword}) {
        password->setEchoMode(QLineEdit::Password);
        password->setMaxLength(4);
        password->setPlaceholderText("none");
    }
    btnTemplate = BrowseButton(this, "btnTemplate");
    btnValues = BrowseButton(this, "btnValues");
    btnRecord = BrowseButton(this, "btnRecord");
    auto* form = new QFormLayout;
    form->addRow("Template:", Row(this, edTemplate, btnTemplate));
    form->addRow("Values (CSV, a row per device):", Row(this, edValues, btnValues));
    form->addRow("Record (CSV):", Row(this, edRecord, btnRecord));
    form->addRow("Password of the devices:", edPassword);
    form->addRow("New password:", edNewPassword);

    tblDevices = new QTableWidget(0, kColumns, this);
    tblDevices->setObjectName("tblDevices");
    tblDevices->setHorizontalHeaderLabels({"Port", "Firmware", "Account ID", "Stage", "Outcome"});
    tblDevices->horizontalHeader()->setStretchLastSection(true);
    tblDevices->setColumnWidth(kStage, 180);
    tblDevices->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblDevices->verticalHeader()->hide();

    lbLine = new QLabel(this);
    lbLine->setObjectName("lbLine");
    lbLine->setTextFormat(Qt::PlainText);
    lbLine->setWordWrap(true);
    btnStart = new QPushButton("Start", this);
    btnStart->setObjectName("btnStart");
    btnStop = new QPushButton("Stop", this);
    btnStop->setObjectName("btnStop");
    btnStop->setEnabled(false);
    btnClose = new QPushButton("Close", this);
    btnClose->setObjectName("btnClose");
    for (QPushButton* button : {btnStart, btnStop, btnClose}) {
        button->setAutoDefault(false);
    }
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(lbLine, 1);
    buttons->addWidget(btnStart);
    buttons->addWidget(btnStop);
    buttons->addWidget(btnClose);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(tblDevices, 1);
    layout->addLayout(buttons);
    resize(760, 420);

    const QString settingsFilter = "Settings (*.am2)";
    const QString csvFilter = "CSV (*.csv)";
    connect(btnTemplate, &QPushButton::clicked, this, [this, settingsFilter] {
        const QString name = AskOpenFileName(this, "Template", settingsFilter, "am2");
        if (!name.isEmpty()) {
            edTemplate->setText(name);
        }
    });
    connect(btnValues, &QPushButton::clicked, this, [this, csvFilter] {
        const QString name = AskOpenFileName(this, "Values", csvFilter, "csv");
        if (!name.isEmpty()) {
            edValues->setText(name);
        }
    });
    connect(btnRecord, &QPushButton::clicked, this, [this, csvFilter] {
        const QString name = AskSaveFileName(this, "Record", "provisioning.csv", csvFilter, "csv");
        if (!name.isEmpty()) {
            edRecord->setText(name);
        }
    });
    connect(btnStart, &QPushButton::clicked, this, &ProvisionDialog::Start);
    connect(btnStop, &QPushButton::clicked, this, &ProvisionDialog::Stop);
    connect(btnClose, &QPushButton::clicked, this, &ProvisionDialog::reject);
    clock.setInterval(kLookInterval);
    connect(&clock, &QTimer::timeout, this, &ProvisionDialog::Step);
}

ProvisionDialog::~ProvisionDialog() {
    clock.stop();
    stopRequested_ = true;
    line_.reset();  // its device threads end before the table they report to
}

void ProvisionDialog::reject() {
    // Closing stops the line: the devices under way are cut between two exchanges and said.
    if (line_) {
        Stop();
        line_->Finish();
        Step();
    }
    QDialog::reject();
}

QString ProvisionDialog::Prepare(std::optional<exchange::ProvisioningLine::Options>& prepared) {
    if (edTemplate->text().isEmpty()) {
        return "Choose a template settings file";
    }
    settings::SettingsReadResult read = settings::ReadSettingsFile(ToLocalPath(edTemplate->text()));
    if (!read.content) {
        return QString::fromStdString(read.error);
    }
    const std::vector<settings::Finding> findings = settings::CheckSettingsFile(*read.content);
    if (settings::HasBlockingFindings(findings)) {
        QString lines;
        for (const settings::Finding& finding : findings) {
            if (!finding.IsNote()) {
                lines += QString::fromStdString(settings::FormatFinding(finding)) + "\n";
            }
        }
        return "The template has values no device may be given:\n" + lines;
    }
    exchange::ProvisioningLine::Options& options = prepared.emplace(std::move(*read.content));
    if (!edValues->text().isEmpty()) {
        std::vector<std::string> problems;
        settings::ValuesReadResult values = settings::ReadCheckedValues(
            ToLocalPath(edValues->text()), options.templateContent, problems);
        if (!values.table) {
            QString lines;
            for (const std::string& problem : problems) {
                lines += QString::fromStdString(problem) + "\n";
            }
            return lines.trimmed();
        }
        options.values = std::move(values.table);
    }
    if (!FourDigitsOrNone(edPassword->text()) || !FourDigitsOrNone(edNewPassword->text())) {
        return "A password is four digits, or none";
    }
    if (!edPassword->text().isEmpty()) {
        options.password = edPassword->text().toStdString();
    }
    if (!edNewPassword->text().isEmpty()) {
        options.newPassword = edNewPassword->text().toStdString();
    }
    if (!edRecord->text().isEmpty()) {
        record_.open(std::filesystem::path(ToLocalPath(edRecord->text())),
                     std::ios::binary | std::ios::trunc);
        if (!record_) {
            return "Unable to write the record " + edRecord->text();
        }
        record_ << exchange::LineRecordHeader() << std::flush;
    }
    options.backupFolder = settings::DefaultBackupFolder(std::getenv);
    options.stopRequested = [this] { return stopRequested_.load(); };
    return {};
}

void ProvisionDialog::Start() {
    if (line_) {
        return;
    }
    record_ = std::ofstream();
    std::optional<exchange::ProvisioningLine::Options> options;
    if (const QString problem = Prepare(options); !problem.isEmpty()) {
        lbLine->setText(problem);
        ShowPlainMessage(this, QMessageBox::Warning, kProvisionTitle, problem);
        return;
    }
    tblDevices->setRowCount(0);
    rows_.clear();
    stopRequested_ = false;
    // The hooks come on the devices' threads: the table is changed on this one. The register
    // and the record are written there, one device at a time, while this dialog keeps the
    // window from using the register.
    exchange::ProvisioningLine::Hooks hooks;
    hooks.started = [this](const exchange::LineDevice& device) {
        QMetaObject::invokeMethod(
            this, [this, device] { ShowStarted(device); }, Qt::QueuedConnection);
    };
    hooks.progress = [this](const exchange::LineDevice& device, const std::string& stage,
                            int percent) {
        const QString name = QString::fromStdString(stage);
        QMetaObject::invokeMethod(
            this,
            [this, number = device.number, name, percent] { ShowProgress(number, name, percent); },
            Qt::QueuedConnection);
    };
    hooks.ended = [this](const exchange::LineDevice& device, const exchange::LineResult& result,
                         const settings::SettingsModel& readBack) {
        sites::RecordProvisioned(sites_, device.path, result, readBack);
        if (record_.is_open()) {
            record_ << exchange::LineRecordRow(device, result) << std::flush;
        }
        QMetaObject::invokeMethod(
            this, [this, device, result] { ShowEnded(device, result); }, Qt::QueuedConnection);
    };
    sites_.Prepare();
    line_ = std::make_unique<exchange::ProvisioningLine>(platform_, std::move(*options),
                                                         std::move(hooks));
    btnStart->setEnabled(false);
    btnStop->setEnabled(true);
    lbLine->setText("Waiting for communicators: each one plugged in is provisioned");
    clock.start();
    Step();
}

void ProvisionDialog::Stop() {
    stopRequested_ = true;
    btnStop->setEnabled(false);
    lbLine->setText("Stopping: the devices under way are cut and said");
}

void ProvisionDialog::Step() {
    if (!line_) {
        return;
    }
    if (line_->Step()) {
        return;
    }
    clock.stop();
    line_->Finish();
    // What the devices' threads queued is shown before the counts.
    QCoreApplication::sendPostedEvents(this);
    ShowCounts(true);
    line_.reset();
    record_.close();
    btnStart->setEnabled(true);
    btnStop->setEnabled(false);
    emit lineEnded();
}

int ProvisionDialog::RowOf(std::size_t number) {
    if (const auto found = rows_.find(number); found != rows_.end()) {
        return found->second;
    }
    const int row = tblDevices->rowCount();
    tblDevices->insertRow(row);
    for (int column = 0; column < kColumns; ++column) {
        tblDevices->setItem(row, column, new QTableWidgetItem);
    }
    auto* bar = new QProgressBar(tblDevices);
    bar->setRange(0, 100);
    bar->setValue(0);
    tblDevices->setCellWidget(row, kStage, bar);
    rows_[number] = row;
    return row;
}

void ProvisionDialog::ShowStarted(const exchange::LineDevice& device) {
    const int row = RowOf(device.number);
    tblDevices->item(row, kPort)->setText(FromLocalPath(device.port));
    tblDevices->item(row, kPort)->setToolTip(PlainToolTip(FromLocalPath(device.path)));
    ShowCounts(false);
}

void ProvisionDialog::ShowProgress(std::size_t number, const QString& stage, int percent) {
    auto* bar = qobject_cast<QProgressBar*>(tblDevices->cellWidget(RowOf(number), kStage));
    bar->setValue(percent);
    bar->setFormat(stage + "  %p%");
}

void ProvisionDialog::ShowEnded(const exchange::LineDevice& device,
                                const exchange::LineResult& result) {
    const int row = RowOf(device.number);
    tblDevices->item(row, kPort)->setText(FromLocalPath(device.port));
    tblDevices->item(row, kFirmware)->setText(FromCp1250(result.firmware));
    tblDevices->item(row, kAccount)
        ->setText(
            FromCp1250(result.accountAfter.empty() ? result.accountBefore : result.accountAfter));
    auto* bar = qobject_cast<QProgressBar*>(tblDevices->cellWidget(row, kStage));
    bar->setFormat(result.verified ? "Done" : "Ended  %p%");
    QTableWidgetItem* outcome = tblDevices->item(row, kOutcome);
    outcome->setText(FromCp1250(result.words) + QString(": unplug it"));
    outcome->setToolTip(PlainToolTip(outcome->text()));
    outcome->setForeground(QBrush(result.verified ? kVerified : kNotVerified));
    ShowCounts(false);
}

void ProvisionDialog::ShowCounts(bool ended) {
    if (!line_) {
        return;
    }
    const std::size_t failed = line_->Failed();
    const std::size_t verified = line_->Done() - failed;
    const QString counts = QString("%1 verified, %2 not").arg(verified).arg(failed);
    if (ended) {
        lbLine->setText((stopRequested_ ? "Stopped: " : "The line has ended: ") + counts);
    } else if (!stopRequested_) {
        lbLine->setText("Waiting for communicators: " + counts);
    }
}

}  // namespace quelvar::ui

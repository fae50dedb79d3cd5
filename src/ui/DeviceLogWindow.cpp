#include "ui/DeviceLogWindow.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMessageBox>
#include <QSaveFile>
#include <QTimer>
#include <QVBoxLayout>

#include "exchange/StatusLog.h"
#include "ui/ContactIdText.h"
#include "ui/QtText.h"
#include "ui/WindowDialogs.h"

namespace quelvar::ui {

namespace {

QString LocalTime(std::chrono::system_clock::time_point at) {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(at.time_since_epoch()).count();
    return QDateTime::fromMSecsSinceEpoch(ms).toString("yyyy-MM-dd HH:mm:ss");
}

}  // namespace

DeviceLogWindow::DeviceLogWindow(const DeviceLog& log, QWidget* parent)
    : QWidget(parent, Qt::Window), log_(log) {
    setWindowTitle(kDeviceLogTitle);
    plot = new SignalPlot(log, this);
    signalSummary = new QLabel(this);
    signalSummary->setTextFormat(Qt::PlainText);
    events = new QListWidget(this);
    events->setObjectName("events");
    btnSaveCsv = new QPushButton("Save as CSV...", this);
    btnClose = new QPushButton("Close", this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnSaveCsv);
    buttons->addWidget(btnClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Signal level, the last 10 minutes", this));
    layout->addWidget(plot, 3);
    layout->addWidget(signalSummary);
    layout->addWidget(new QLabel("Events since the program started", this));
    layout->addWidget(events, 2);
    layout->addLayout(buttons);
    resize(620, 520);
    askFileName_ = [this] {
        return AskSaveFileName(this, "Save the device log", QString(), "CSV files (*.csv)", "csv");
    };
    connect(btnSaveCsv, &QPushButton::clicked, this, &DeviceLogWindow::SaveCsvClick);
    // Closed as a dialog is; the main window keeps the log meanwhile.
    connect(btnClose, &QPushButton::clicked, this, &QWidget::close);
    connect(&log, &DeviceLog::changed, this, &DeviceLogWindow::Refresh);
    // The time axis moves on while no report comes (an unplugged device, say).
    auto* clock = new QTimer(this);
    connect(clock, &QTimer::timeout, plot, qOverload<>(&QWidget::update));
    clock->start(1000);
    Refresh();
}

void DeviceLogWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void DeviceLogWindow::Refresh() {
    exchange::SignalStats stats;
    for (const link::StatusRecord& record : log_.SignalPoints()) {
        stats.Add(record.text);
    }
    if (stats.Count() == 0) {
        signalSummary->setText("No signal report yet");
    } else {
        // A level is current only while the device is there to report it.
        const QString now = log_.Attached()
                                ? "Signal now " + FromCp1250(log_.SignalPoints().back().text)
                                : QString("Device detached, no current signal");
        signalSummary->setText(QString("%1; minimum %2, maximum %3 over %4 reports")
                                   .arg(now)
                                   .arg(*stats.Minimum())
                                   .arg(*stats.Maximum())
                                   .arg(stats.Count()));
    }
    // Only the lines added since the last refresh: the list may grow long.
    const auto& lines = log_.Events();
    for (auto i = static_cast<std::size_t>(events->count()); i < lines.size(); ++i) {
        // A Contact ID line's meaning beside it, lined up after the longest form (11 characters).
        QString line = LocalTime(lines[i].at) + "  " + FromCp1250(lines[i].text);
        if (const QString meaning = EventMeaning(lines[i].text); !meaning.isEmpty()) {
            line = line.leftJustified(line.size() - static_cast<int>(lines[i].text.size()) + 14) +
                   meaning;
        }
        events->addItem(line);
    }
    if (!lines.empty()) {
        events->scrollToBottom();
    }
    plot->update();
}

void DeviceLogWindow::SaveCsvClick() {
    const QString name = askFileName_();
    if (!name.isEmpty()) {
        SaveCsv(name);
    }
}

bool DeviceLogWindow::SaveCsv(const QString& name) {
    const std::string csv = log_.Csv();
    QSaveFile file(name);
    const bool saved = file.open(QIODevice::WriteOnly) &&
                       file.write(csv.data(), static_cast<qint64>(csv.size())) ==
                           static_cast<qint64>(csv.size()) &&
                       file.commit();
    if (!saved) {
        ShowPlainMessage(this, QMessageBox::Critical, kDeviceLogTitle,
                         QString("Unable to write %1: %2").arg(name, file.errorString()));
    }
    return saved;
}

}  // namespace quelvar::ui

#pragma once
// The device log: the signal level of the last minutes as a plot and every event line since the
// program started, with "Save as CSV..." in the command line's log format.

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QWidget>
#include <functional>

#include "ui/DeviceLog.h"
#include "ui/SignalPlot.h"

namespace quelvar::ui {

inline constexpr const char* kDeviceLogTitle = "Device log";

class DeviceLogWindow : public QWidget {
    Q_OBJECT
  public:
    DeviceLogWindow(const DeviceLog& log, QWidget* parent = nullptr);

    // Where "Save as CSV..." gets its file name; a save dialog by default. Empty: cancelled.
    using FileNameAsk = std::function<QString()>;
    void SetFileNameAsk(FileNameAsk ask) { askFileName_ = std::move(ask); }
    // Writes the log to the file; false (and a message box) when it could not be written.
    bool SaveCsv(const QString& name);

    SignalPlot* plot = nullptr;
    QLabel* signalSummary = nullptr;
    QListWidget* events = nullptr;
    QPushButton* btnSaveCsv = nullptr;
    QPushButton* btnClose = nullptr;

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void Refresh();
    void SaveCsvClick();

    const DeviceLog& log_;
    FileNameAsk askFileName_;
};

}  // namespace quelvar::ui

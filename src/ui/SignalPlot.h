#pragma once
// The signal level over the last minutes, one point per status report, with the lowest and the
// highest level of that span marked.

#include <QWidget>

#include "ui/DeviceLog.h"

namespace quelvar::ui {

class SignalPlot : public QWidget {
    Q_OBJECT
  public:
    explicit SignalPlot(const DeviceLog& log, QWidget* parent = nullptr);
    QSize sizeHint() const override { return {560, 220}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    const DeviceLog& log_;
};

}  // namespace quelvar::ui

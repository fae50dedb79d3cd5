#pragma once
// Pauses the connection monitor's clock, and with a window given its input too, for a scope:
// however the sequence inside ends, both come back once, at its end or at Resume.

#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace quelvar::ui {

class MonitorPause {
  public:
    explicit MonitorPause(QTimer& timer, QWidget* input = nullptr) : timer_(timer), input_(input) {
        timer_.stop();
        if (input_) {
            input_->setEnabled(false);
        }
    }
    ~MonitorPause() { Resume(); }
    MonitorPause(const MonitorPause&) = delete;
    MonitorPause& operator=(const MonitorPause&) = delete;

    // Before the scope ends: a message shown after the sequence runs with the monitor going.
    void Resume() {
        if (resumed_) {
            return;
        }
        resumed_ = true;
        if (input_) {
            input_->setEnabled(true);
        }
        timer_.start();
    }

  private:
    QTimer& timer_;
    QPointer<QWidget> input_;
    bool resumed_ = false;
};

}  // namespace quelvar::ui

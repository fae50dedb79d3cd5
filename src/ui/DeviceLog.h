#pragma once
// What the window's monitor heard since the program started: the signal reports of the last
// minutes for the plot and every event line, each with its time. Outlives the window that shows
// it, so nothing is lost while that window is closed.

#include <QObject>
#include <chrono>
#include <deque>
#include <string>
#include <vector>

#include "link/ConnHIDCOM.h"

namespace quelvar::ui {

class DeviceLog : public QObject {
    Q_OBJECT
  public:
    // How far back the signal points are kept and plotted.
    static constexpr std::chrono::minutes kSignalSpan{10};

    using QObject::QObject;

    // Takes the records the monitor collected; signal points older than kSignalSpan go.
    void Add(const std::vector<link::StatusRecord>& records);
    const std::deque<link::StatusRecord>& SignalPoints() const { return signal_; }
    const std::vector<link::StatusRecord>& Events() const { return events_; }
    // Whether the device is attached, as the monitor saw it at its last tick. A detach leaves
    // a gap in the signal: no line is drawn across it, and no level is current meanwhile.
    void SetAttached(bool attached);
    bool Attached() const { return attached_; }
    // Whether the device went away between these two times.
    bool GapBetween(std::chrono::system_clock::time_point from,
                    std::chrono::system_clock::time_point to) const;
    // The signal points and the events in the time order, as the command line's log writes them.
    std::string Csv() const;

  signals:
    void changed();

  private:
    std::deque<link::StatusRecord> signal_;
    std::vector<link::StatusRecord> events_;
    std::deque<std::chrono::system_clock::time_point> detached_;
    bool attached_ = false;
};

}  // namespace quelvar::ui

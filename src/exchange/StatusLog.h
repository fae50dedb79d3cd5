#pragma once
// Following the communicator's status reports over time: the signal level's statistics and the
// log of every report and event line as CSV (RFC 4180, UTF-8, times in ISO 8601).

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "link/ConnHIDCOM.h"

namespace quelvar::exchange {

inline constexpr int kMaxSignalLevel = 31;

// The name of a status code in logs: "signal", "input 1", "input 2", "SIM", "line", "event",
// else "status NNN".
std::string StatusName(std::uint8_t code);

class SignalStats {
  public:
    // Takes the level from a signal report; a text that is no number from 0 to 31 is skipped.
    void Add(const std::string& text);
    std::size_t Count() const { return count_; }
    // Nothing before a level was taken.
    std::optional<int> Minimum() const { return count_ ? std::optional(minimum_) : std::nullopt; }
    std::optional<int> Maximum() const { return count_ ? std::optional(maximum_) : std::nullopt; }
    std::optional<double> Mean() const;

  private:
    std::size_t count_ = 0;
    long long sum_ = 0;
    int minimum_ = 0;
    int maximum_ = 0;
};

// 2026-12-09T13:40:00.123Z
std::string IsoTime(std::chrono::system_clock::time_point at);
// The moment in local time by a strftime format: "%H:%M:%S" gives 14:40:00. Empty when the
// result would not fit 63 characters.
std::string LocalTimeText(std::chrono::system_clock::time_point at, const char* format);
// "time,code,name,text" and its line end.
std::string CsvHeader();
// One record's line, its text made safe by CsvText and quoted where it needs it. Both the
// command line's log and the window's CSV go through here.
std::string CsvRow(const link::StatusRecord& record);
// A text of the device (Windows-1250) as a CSV cell that a spreadsheet takes as text and `cat`
// shows as it is: UTF-8, a leading = + - @ tab or CR after a ' (so it is no formula), and
// control characters (C0, DEL and C1) written as \xHH.
std::string CsvText(std::string_view cp1250);
// The line that stands for `count` records lost before the log took them.
std::string CsvDroppedRow(std::chrono::system_clock::time_point at, std::uint64_t count);
// A field quoted by RFC 4180 when it holds a comma, a quote or a line break.
std::string CsvField(const std::string& utf8);

}  // namespace quelvar::exchange

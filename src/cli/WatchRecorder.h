#pragma once
// status --watch's own thread: it takes every status record from the link, writes the CSV log
// and keeps the signal's figures, whatever the terminal does. A blocked standard output (a
// pager, Ctrl+S) then costs only lines on the screen, never records in the log.

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "exchange/StatusLog.h"
#include "link/ConnHIDCOM.h"

namespace quelvar::cli {

// The CSV log, every write checked.
class LogFile {
  public:
    LogFile() = default;
    ~LogFile();
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // Why the file could not be written, found without changing it (an existing log keeps its
    // content until watching starts); empty when it can.
    static std::string Problem(const std::string& path);
    // Creates or empties the file and writes the header. False with Error() set on failure.
    bool Open(const std::string& path);
    bool Write(const std::string& bytes);
    // Everything on the disk and the file closed; false with Error() set on failure.
    bool Close();
    // "Unable to write the log FILE: REASON".
    const std::string& Error() const { return error_; }

  private:
    bool Fail();

    std::string path_;
    std::FILE* file_ = nullptr;
    std::string error_;
};

class WatchRecorder {
  public:
    // What the terminal is to show; records beyond this are left off the screen only.
    static constexpr std::size_t kScreenBacklog = 2000;

    struct Figures {
        exchange::SignalStats signal;
        int events = 0;
        std::uint64_t dropped = 0;  // records the link lost before they were taken
    };
    enum class End { kRunning, kStopped, kDetached, kLogFailed };

    // Starts taking records from the open connection; `log` may be null.
    WatchRecorder(link::ConnHIDCOM& connection, LogFile* log);
    ~WatchRecorder();
    WatchRecorder(const WatchRecorder&) = delete;
    WatchRecorder& operator=(const WatchRecorder&) = delete;

    // Waits up to `timeout` for records to show or an end; hands over those that came.
    std::vector<link::StatusRecord> TakeForScreen(std::chrono::milliseconds timeout);
    // Takes what the link still holds, writes it, closes the log and ends the thread; the end
    // it came to (kStopped unless it had ended on its own).
    End Stop();
    End Ended() const;
    Figures Snapshot() const;

  private:
    void Run();
    // One pass: the link's records into the log, the figures and the screen's queue; sets the
    // end when the log fails or the device went away.
    void Drain();

    link::ConnHIDCOM& connection_;
    LogFile* log_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool stopRequested_ = false;
    End end_ = End::kRunning;
    Figures figures_;
    std::deque<link::StatusRecord> screen_;
    std::thread thread_;
};

}  // namespace quelvar::cli

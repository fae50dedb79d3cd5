#include "cli/WatchCommand.h"

#include <cmath>
#include <cstdio>
#include <map>
#include <vector>

#include "cli/CommandDevice.h"
#include "cli/ExitCodes.h"
#include "cli/Interrupt.h"
#include "cli/WatchRecorder.h"
#include "exchange/StatusLog.h"
#include "settings/Cp1250.h"

namespace quelvar::cli {

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kPoll{100};

std::string LocalClock(std::chrono::system_clock::time_point at) {
    return exchange::LocalTimeText(at, "%H:%M:%S");
}

std::string Level(const std::optional<double>& value, int decimals) {
    if (!value) {
        return "-";
    }
    char text[16];
    std::snprintf(text, sizeof text, "%.*f", decimals, *value);
    return text;
}

// A bar of 31 steps, one per signal level above 0.
std::string SignalBar(const std::string& signal) {
    exchange::SignalStats one;
    one.Add(signal);
    const int level = one.Maximum().value_or(0);
    return "[" + std::string(static_cast<std::size_t>(level), '#') +
           std::string(static_cast<std::size_t>(exchange::kMaxSignalLevel - level), '.') + "]";
}

// The terminal's side: status lines and event lines from what the recorder took.
class Watch {
  public:
    Watch(const WatchOptions& options, std::ostream& out) : options_(options), out_(out) {}

    void Show(const std::vector<link::StatusRecord>& records,
              const WatchRecorder::Figures& figures) {
        bool redraw = false;
        for (const link::StatusRecord& record : records) {
            if (record.code == link::kEventLineCode) {
                // The status line it cleared comes back below it.
                redraw = ClearStatusLine() || redraw;
                out_ << LocalClock(record.at)
                     << "  Event: " << settings::Cp1250ToPrintableUtf8(record.text) << "\n";
                continue;
            }
            latest_[record.code] = record.text;
            if (record.code == 200) {
                redraw = true;
                roundAt_ = record.at;
            }
        }
        if (redraw || (!records.empty() && drawn_)) {
            PrintStatusLine(figures.signal);
        }
    }

    void PrintSummary(Clock::duration watched, const WatchRecorder::Figures& figures) {
        ClearStatusLine();
        const exchange::SignalStats& stats = figures.signal;
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(watched).count();
        out_ << "Watched for " << seconds / 60 << " min " << seconds % 60 << " s: signal minimum "
             << Level(AsDouble(stats.Minimum()), 0) << ", mean " << Level(stats.Mean(), 1)
             << ", maximum " << Level(AsDouble(stats.Maximum()), 0) << " over " << stats.Count()
             << " rounds; " << figures.events << " events";
        if (figures.dropped > 0) {
            out_ << "; " << figures.dropped << " records lost before they were logged";
        }
        out_ << "\n" << std::flush;
    }

  private:
    static std::optional<double> AsDouble(std::optional<int> value) {
        return value ? std::optional<double>(*value) : std::nullopt;
    }
    std::string Text(std::uint8_t code) const {
        const auto found = latest_.find(code);
        return settings::Cp1250ToPrintableUtf8(found == latest_.end() ? "" : found->second);
    }

    void PrintStatusLine(const exchange::SignalStats& stats) {
        const std::string signal = latest_.count(200) ? latest_.at(200) : "";
        const std::string line = LocalClock(roundAt_) + "  Signal " + Text(200) + " " +
                                 SignalBar(signal) + " min " + Level(AsDouble(stats.Minimum()), 0) +
                                 " mean " + Level(stats.Mean(), 1) + " max " +
                                 Level(AsDouble(stats.Maximum()), 0) + "  Line " + Text(205) +
                                 "  SIM " + Text(204) + "  Z1 " + Text(202) + "  Z2 " + Text(203);
        if (options_.inPlace) {
            out_ << "\r" << line << "\x1b[K" << std::flush;
            drawn_ = true;
        } else {
            out_ << line << "\n" << std::flush;
        }
    }

    // An event line must not be written over the status line being redrawn. True when there
    // was one to clear.
    bool ClearStatusLine() {
        if (!drawn_) {
            return false;
        }
        out_ << "\r\x1b[K";
        drawn_ = false;
        return true;
    }

    const WatchOptions& options_;
    std::ostream& out_;
    std::map<std::uint8_t, std::string> latest_;
    std::chrono::system_clock::time_point roundAt_{};
    bool drawn_ = false;
};

}  // namespace

int RunWatch(link::HidPlatform& platform, const WatchOptions& options, std::ostream& out,
             std::ostream& err) {
    // An old log is only emptied once there is something to watch.
    LogFile log;
    if (options.logPath) {
        if (const std::string problem = LogFile::Problem(*options.logPath); !problem.empty()) {
            err << "Unable to write the log " << *options.logPath << ": " << problem << "\n";
            return kExitBadFile;
        }
    }
    link::ConnHIDCOM connection(platform, options.devicePath);
    connection.KeepStatusRecords();
    connection.Open();
    if (!WaitForAttach(connection, options.wait)) {
        if (InterruptSignal() != 0) {
            return kExitOk;
        }
        err << "No communicator found within " << Seconds(options.wait) << "\n";
        return kExitNoDevice;
    }
    if (options.logPath && !log.Open(*options.logPath)) {
        err << log.Error() << "\n";
        return kExitBadFile;
    }
    const Clock::time_point start = Clock::now();
    Watch watch(options, out);
    WatchRecorder recorder(connection, options.logPath ? &log : nullptr);
    while (InterruptSignal() == 0 && recorder.Ended() == WatchRecorder::End::kRunning) {
        const std::vector<link::StatusRecord> records = recorder.TakeForScreen(kPoll);
        watch.Show(records, recorder.Snapshot());
    }
    const WatchRecorder::End end = recorder.Stop();
    watch.Show(recorder.TakeForScreen(std::chrono::milliseconds(0)), recorder.Snapshot());
    // A write cut short by the signal leaves the stream failed; the summary is still due.
    out.clear();
    int code = kExitOk;
    if (end == WatchRecorder::End::kDetached) {
        err << "\nThe communicator went away\n";
        code = kExitNoDevice;
    } else if (end == WatchRecorder::End::kLogFailed) {
        err << "\n" << log.Error() << "\n";
        code = kExitBadFile;
    }
    watch.PrintSummary(Clock::now() - start, recorder.Snapshot());
    return code;
}

}  // namespace quelvar::cli

#include "cli/WatchCommand.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "cli/CommandDevice.h"
#include "cli/ExitCodes.h"
#include "cli/Interrupt.h"
#include "exchange/StatusLog.h"
#include "link/LinkLock.h"
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

class Watch {
  public:
    Watch(const WatchOptions& options, std::ostream& out) : options_(options), out_(out) {}

    bool OpenLog(std::ostream& err) {
        if (!options_.logPath) {
            return true;
        }
        log_.open(*options_.logPath, std::ios::binary | std::ios::trunc);
        log_ << exchange::CsvHeader() << std::flush;
        if (!log_) {
            err << "Unable to write the log " << *options_.logPath << "\n";
            return false;
        }
        return true;
    }

    void Take(const std::vector<link::StatusRecord>& records) {
        bool round = false;
        for (const link::StatusRecord& record : records) {
            if (log_.is_open()) {
                log_ << exchange::CsvRow(record);
            }
            if (record.code == link::kEventLineCode) {
                ClearStatusLine();
                out_ << LocalClock(record.at)
                     << "  Event: " << settings::Cp1250ToPrintableUtf8(record.text) << "\n";
                ++events_;
                continue;
            }
            latest_[record.code] = record.text;
            if (record.code == 200) {
                stats_.Add(record.text);
                round = true;
                roundAt_ = record.at;
            }
        }
        if (log_.is_open()) {
            log_.flush();
        }
        if (round || (!records.empty() && drawn_)) {
            PrintStatusLine();
        }
    }

    void PrintSummary(Clock::duration watched) {
        ClearStatusLine();
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(watched).count();
        out_ << "Watched for " << seconds / 60 << " min " << seconds % 60 << " s: signal minimum "
             << Level(Min(), 0) << ", mean " << Level(stats_.Mean(), 1) << ", maximum "
             << Level(Max(), 0) << " over " << stats_.Count() << " rounds; " << events_
             << " events\n";
    }

  private:
    std::optional<double> Min() const {
        return stats_.Minimum() ? std::optional<double>(*stats_.Minimum()) : std::nullopt;
    }
    std::optional<double> Max() const {
        return stats_.Maximum() ? std::optional<double>(*stats_.Maximum()) : std::nullopt;
    }
    std::string Text(std::uint8_t code) const {
        const auto found = latest_.find(code);
        return settings::Cp1250ToPrintableUtf8(found == latest_.end() ? "" : found->second);
    }

    void PrintStatusLine() {
        const std::string signal = latest_.count(200) ? latest_.at(200) : "";
        const std::string line = LocalClock(roundAt_) + "  Signal " + Text(200) + " " +
                                 SignalBar(signal) + " min " + Level(Min(), 0) + " mean " +
                                 Level(stats_.Mean(), 1) + " max " + Level(Max(), 0) + "  Line " +
                                 Text(205) + "  SIM " + Text(204) + "  Z1 " + Text(202) + "  Z2 " +
                                 Text(203);
        if (options_.inPlace) {
            out_ << "\r" << line << "\x1b[K" << std::flush;
            drawn_ = true;
        } else {
            out_ << line << "\n" << std::flush;
        }
    }

    // An event line must not be written over the status line being redrawn.
    void ClearStatusLine() {
        if (drawn_) {
            out_ << "\r\x1b[K";
            drawn_ = false;
        }
    }

    const WatchOptions& options_;
    std::ostream& out_;
    std::ofstream log_;
    exchange::SignalStats stats_;
    std::map<std::uint8_t, std::string> latest_;
    std::chrono::system_clock::time_point roundAt_{};
    int events_ = 0;
    bool drawn_ = false;
};

}  // namespace

int RunWatch(link::HidPlatform& platform, const WatchOptions& options, std::ostream& out,
             std::ostream& err) {
    Watch watch(options, out);
    if (!watch.OpenLog(err)) {
        return kExitBadFile;
    }
    link::ConnHIDCOM connection(platform);
    connection.recordStatusReports = true;
    connection.Open();
    if (!WaitForAttach(connection, options.wait)) {
        if (InterruptSignal() != 0) {
            return kExitOk;
        }
        err << "No communicator found within " << Seconds(options.wait) << "\n";
        return kExitNoDevice;
    }
    const Clock::time_point start = Clock::now();
    int code = kExitOk;
    while (InterruptSignal() == 0) {
        std::vector<link::StatusRecord> records;
        bool attached = false;
        {
            std::lock_guard lock(link::LinkLock());
            records.assign(connection.statusRecords.begin(), connection.statusRecords.end());
            connection.statusRecords.clear();
            attached = connection.IsAttached();
        }
        watch.Take(records);
        if (!attached) {
            err << "\nThe communicator went away\n";
            code = kExitNoDevice;
            break;
        }
        std::this_thread::sleep_for(kPoll);
    }
    watch.PrintSummary(Clock::now() - start);
    return code;
}

}  // namespace quelvar::cli

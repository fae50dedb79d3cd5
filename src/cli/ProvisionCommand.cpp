#include "cli/ProvisionCommand.h"

#include <deque>
#include <fstream>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include "cli/CommandDevice.h"
#include "cli/DeviceList.h"
#include "cli/ExitCodes.h"
#include "cli/Interrupt.h"
#include "cli/SitesCommand.h"
#include "exchange/Sequences.h"
#include "exchange/StatusLog.h"
#include "register/SequenceRevision.h"
#include "settings/Cp1250.h"
#include "settings/ValuesFile.h"

namespace quelvar::cli {

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr const char* kRecordHeader =
    "time,port,usb path,firmware,account before,account after,values,settings written,outcome,"
    "backup,seconds\r\n";

// What the line shares between its device threads, behind one lock.
class Line {
  public:
    Line(std::ostream& out, std::optional<settings::ValuesTable> values, std::ofstream* record)
        : out_(out), values_(std::move(values)), record_(record) {
        if (values_) {
            for (std::size_t row = 0; row < values_->rows.size(); ++row) {
                rows_.push_back(row);
            }
        }
    }

    // The next row for a device; nothing when every row is taken (or there are no values: -1).
    std::optional<std::size_t> TakeRow() {
        std::lock_guard lock(mutex_);
        if (!values_) {
            return std::size_t(-1);
        }
        if (rows_.empty()) {
            return std::nullopt;
        }
        const std::size_t row = rows_.front();
        rows_.pop_front();
        return row;
    }
    // A device cut before anything was written gives its row to the next one.
    void GiveBack(std::size_t row) {
        std::lock_guard lock(mutex_);
        if (values_ && row != std::size_t(-1)) {
            rows_.push_front(row);
        }
    }
    bool RowsLeft() {
        std::lock_guard lock(mutex_);
        return !values_ || !rows_.empty();
    }
    const std::optional<settings::ValuesTable>& Values() const { return values_; }

    void Started(const std::string& path) {
        std::lock_guard lock(mutex_);
        busy_.insert(path);
    }
    bool Busy(const std::string& path) {
        std::lock_guard lock(mutex_);
        return busy_.count(path) > 0;
    }

    void Say(const std::string& path, const std::string& line, const std::string& recordRow,
             bool verified) {
        std::lock_guard lock(mutex_);
        busy_.erase(path);
        out_ << line << std::flush;
        if (record_) {
            *record_ << recordRow << std::flush;
        }
        ++done_;
        failed_ += verified ? 0 : 1;
    }
    // The register is one per process: its records are taken one at a time.
    template <typename F>
    void WithRegister(F use) {
        std::lock_guard lock(mutex_);
        use();
    }
    std::size_t Done() {
        std::lock_guard lock(mutex_);
        return done_;
    }
    std::size_t Failed() {
        std::lock_guard lock(mutex_);
        return failed_;
    }

  private:
    std::mutex mutex_;
    std::ostream& out_;
    std::optional<settings::ValuesTable> values_;
    std::deque<std::size_t> rows_;
    std::set<std::string> busy_;  // paths whose device is under way
    std::ofstream* record_;
    std::size_t done_ = 0;
    std::size_t failed_ = 0;
};

std::string Cell(const std::string& cp1250) {
    return exchange::CsvField(exchange::CsvText(cp1250));
}

std::string ValuesText(const Line& line, std::size_t row) {
    if (!line.Values() || row == std::size_t(-1)) {
        return {};
    }
    std::string text;
    for (std::size_t k = 0; k < line.Values()->keys.size(); ++k) {
        text += (k ? "; " : "") + line.Values()->keys[k] + "=" + line.Values()->rows[row][k];
    }
    return text;
}

struct Device {
    AttachedDevice attached;
    std::size_t row = std::size_t(-1);
};

// One device, start to end, on its own thread and session.
void Provision(link::HidPlatform& platform, const settings::SettingsFileContent& templateContent,
               const ProvisionOptions& options, Line& line, const Device& device) {
    const auto start = Clock::now();
    std::ostringstream quiet;
    ProgressBar progress(quiet, ProgressBar::Style::kNone);
    const CommandContext context{platform, 10s, options.password,    progress, quiet, quiet,
                                 {},       {},  device.attached.path};
    settings::SettingsModel wanted;
    if (line.Values() && device.row != std::size_t(-1)) {
        settings::ApplyValuesRow(templateContent, *line.Values(), device.row, wanted);
    } else {
        settings::FillModelFromFile(templateContent, wanted);
    }
    CommandDevice session(context);
    exchange::SequenceOutcome outcome;
    exchange::ChangesWritten written;
    settings::HeldSettings held;
    settings::SettingsModel readBack;
    std::string words;
    if (session.LogIn() != kExitOk) {
        outcome.ending = exchange::Ending::kDetached;
        words = settings::Cp1250FromUtf8(quiet.str()).value_or(quiet.str());
        while (!words.empty() && words.back() == '\n') {
            words.pop_back();
        }
    } else {
        settings::BackupStore store(options.backup.folder);
        exchange::BackupRequest backup;
        backup.store = options.backup.skip ? nullptr : &store;
        exchange::WriteRequest request;
        request.settings = &wanted;
        request.modeIndex = templateContent.ModeIndex();
        request.stopCause = exchange::StopCause::kSignal;
        outcome =
            exchange::RunChangesWrite(session.Session(), request, backup, held, readBack, written);
        words = exchange::DescribeOutcome(outcome);
        line.WithRegister([&] {
            sites::RecordSequence(CommandRegister(), sites::RevisionKind::kCommandWrite, outcome,
                                  sites::ReadBackBytes(outcome, readBack),
                                  {device.attached.path, held.Firmware(), held.AccountId()});
        });
    }
    const bool verified = outcome.ending == exchange::Ending::kComplete;
    if (!verified && (outcome.holds == exchange::DeviceHolds::kUnchanged)) {
        line.GiveBack(device.row);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    char took[32];
    std::snprintf(took, sizeof took, "%.1f", seconds);
    const std::string after = verified ? settings::AccountIdOf(wanted) : held.AccountId();
    std::string said = "port " + device.attached.port + ": ";
    if (verified) {
        said += settings::Cp1250ToPrintableUtf8(after) +
                (written.Nothing() ? " already held the template" : " written and verified");
    } else {
        said += settings::Cp1250ToPrintableUtf8(words);
    }
    said += std::string(" in ") + took + " s: unplug it\n";
    const std::string record =
        exchange::IsoTime(std::chrono::system_clock::now()) + "," + Cell(device.attached.port) +
        "," + Cell(device.attached.path) + "," + Cell(held.Firmware()) + "," +
        Cell(written.accountBefore) + "," + Cell(after) + "," + Cell(ValuesText(line, device.row)) +
        "," + std::to_string(written.parameters + written.sectors) + "," +
        Cell(verified ? "verified" : words) + "," + Cell(outcome.backupPath) + "," + took + "\r\n";
    line.Say(device.attached.path, said, record, verified);
}

}  // namespace

int RunProvision(link::HidPlatform& platform, const settings::SettingsFileContent& templateContent,
                 const ProvisionOptions& options, std::ostream& out, std::ostream& err) {
    std::optional<settings::ValuesTable> values;
    if (options.valuesPath) {
        settings::ValuesReadResult read = settings::ReadValuesFile(*options.valuesPath);
        if (!read.table) {
            err << read.error << "\n";
            return kExitBadFile;
        }
        const std::vector<std::string> findings =
            settings::CheckValuesRows(templateContent, *read.table);
        for (const std::string& finding : findings) {
            err << *options.valuesPath << ": " << finding << "\n";
        }
        if (!findings.empty()) {
            err << "Nothing was started: correct " << *options.valuesPath << "\n";
            return kExitBadFile;
        }
        values = std::move(read.table);
    }
    std::ofstream record;
    if (options.recordPath) {
        record.open(*options.recordPath, std::ios::binary | std::ios::trunc);
        if (!record) {
            err << "Unable to write the record " << *options.recordPath << "\n";
            return kExitBadFile;
        }
        record << kRecordHeader << std::flush;
    }
    CommandRegister().Prepare();
    Line line(out, std::move(values), options.recordPath ? &record : nullptr);
    err << "Waiting for communicators (Ctrl+C ends)...\n";

    std::vector<std::jthread> running;
    std::set<std::string> handled;  // provisioned and still plugged in: not again
    std::size_t started = 0;
    const auto wanted = [&] { return !options.count || started < *options.count; };
    while (InterruptSignal() == 0) {
        std::set<std::string> present;
        for (const AttachedDevice& attached : AttachedDevices(platform)) {
            present.insert(attached.path);
            if (handled.count(attached.path) || !wanted() || !line.RowsLeft()) {
                continue;
            }
            const std::optional<std::size_t> row = line.TakeRow();
            if (!row) {
                continue;
            }
            handled.insert(attached.path);
            line.Started(attached.path);
            ++started;
            running.emplace_back([&, device = Device{attached, *row}] {
                Provision(platform, templateContent, options, line, device);
            });
        }
        // A device unplugged (and done with) may come back as the next unit.
        for (auto it = handled.begin(); it != handled.end();) {
            it = present.count(*it) || line.Busy(*it) ? std::next(it) : handled.erase(it);
        }
        if (line.Done() == started && (!wanted() || !line.RowsLeft())) {
            break;
        }
        std::this_thread::sleep_for(100ms);
    }
    running.clear();  // a device under way is finished or cut (the signal stops its session)
    if (InterruptSignal() != 0) {
        err << "Interrupted: " << line.Done() - line.Failed() << " communicators verified, "
            << line.Failed() << " not\n";
        return InterruptExitCode();
    }
    err << line.Done() - line.Failed() << " communicators verified, " << line.Failed() << " not\n";
    return line.Failed() > 0 ? kExitMismatch : kExitOk;
}

}  // namespace quelvar::cli

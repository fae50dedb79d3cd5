#include "exchange/ProvisioningLine.h"

#include <cstdio>
#include <utility>

#include "exchange/DeviceExchange.h"
#include "exchange/DeviceSession.h"
#include "exchange/StatusLog.h"
#include "link/ConnHIDCOM.h"
#include "link/HID.h"
#include "link/PortName.h"
#include "settings/BackupStore.h"
#include "settings/Cp1250.h"
#include "settings/HeldSettings.h"

namespace quelvar::exchange {

namespace {

using Clock = std::chrono::steady_clock;

bool Attached(link::ConnHIDCOM& connection, std::chrono::milliseconds wait,
              const std::function<bool()>& stopped) {
    const auto deadline = Clock::now() + wait;
    while (!connection.Snapshot().attached) {
        if (Clock::now() >= deadline || (stopped && stopped())) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// Why a log-in did not succeed, in the line's words.
std::string LogInWords(LogInOutcome outcome, const DeviceSession& session) {
    switch (outcome) {
        case LogInOutcome::kFault:
            return DescribeFault(session, "nothing on it was changed", StopCause::kSignal);
        case LogInOutcome::kWrongPassword:
            return "wrong password: the communicator does not accept the password given";
        case LogInOutcome::kCancelled:
            return "the communicator asks for a password and none was given";
        case LogInOutcome::kPasswordUnreadable:
        case LogInOutcome::kPasswordOutOfReach:
            return "the communicator's password cannot be entered here; reset the device";
        case LogInOutcome::kUnanswered:
        case LogInOutcome::kLoggedIn:
            break;
    }
    return "the communicator did not answer the password request";
}

std::string ValuesText(const std::optional<settings::ValuesTable>& values,
                       const std::optional<std::size_t>& row) {
    std::string text;
    if (values && row) {
        for (std::size_t k = 0; k < values->keys.size(); ++k) {
            text += (k ? "; " : "") + values->keys[k] + "=" + values->rows[*row][k];
        }
    }
    return text;
}

DeviceSession::Progress ProgressTo(const std::function<void(const std::string&, int)>& say) {
    auto stage = std::make_shared<std::pair<std::string, int>>();
    DeviceSession::Progress progress;
    progress.begin = [say, stage](const std::string& name, int maximum) {
        *stage = {name, maximum};
        say(name, 0);
    };
    progress.advance = [say, stage](int position) {
        if (stage->second > 0) {
            say(stage->first, position * 100 / stage->second);
        }
    };
    progress.end = [say](const std::string& name, bool complete) {
        if (complete) {
            say(name, 100);
        }
    };
    return progress;
}

std::string Cell(const std::string& cp1250) {
    return CsvField(CsvText(cp1250));
}

}  // namespace

ProvisioningLine::ProvisioningLine(link::HidPlatform& platform, Options options, Hooks hooks)
    : platform_(platform), options_(std::move(options)), hooks_(std::move(hooks)) {
    if (options_.values) {
        for (std::size_t row = 0; row < options_.values->rows.size(); ++row) {
            rows_.push_back(row);
        }
    }
}

ProvisioningLine::~ProvisioningLine() {
    Finish();
}

void ProvisioningLine::Finish() {
    std::vector<std::pair<std::string, std::jthread>> running;
    {
        std::lock_guard lock(mutex_);
        running.swap(running_);
    }
    running.clear();
}

bool ProvisioningLine::Wanted() const {
    return !options_.count || started_ < *options_.count;
}

std::optional<std::optional<std::size_t>> ProvisioningLine::TakeRow() {
    if (!options_.values) {
        return std::optional<std::size_t>();
    }
    if (rows_.empty()) {
        return std::nullopt;
    }
    const std::size_t row = rows_.front();
    rows_.pop_front();
    return std::optional<std::size_t>(row);
}

void ProvisioningLine::GiveBack(const std::optional<std::size_t>& row) {
    std::lock_guard lock(mutex_);
    if (row) {
        rows_.push_front(*row);
    }
}

bool ProvisioningLine::Step() {
    const std::vector<link::DeviceInfo> attached = link::ListCommunicators(platform_);
    // Threads whose device has ended are joined here, not left to the end of a long line.
    std::vector<std::pair<std::string, std::jthread>> ended;
    std::lock_guard lock(mutex_);
    for (auto it = running_.begin(); it != running_.end();) {
        if (busy_.count(it->first)) {
            ++it;
        } else {
            ended.push_back(std::move(*it));
            it = running_.erase(it);
        }
    }
    const bool stopping = options_.stopRequested && options_.stopRequested();
    std::set<std::string> present;
    for (const link::DeviceInfo& info : attached) {
        present.insert(info.path);
        if (stopping || handled_.count(info.path) || !Wanted()) {
            continue;
        }
        std::optional<std::optional<std::size_t>> row = TakeRow();
        if (!row) {
            continue;
        }
        handled_.insert(info.path);
        busy_.insert(info.path);
        ++started_;
        LineDevice device{started_, info.path, link::ShortPortName(info.path), *row};
        running_.emplace_back(info.path, [this, device] { Provision(device); });
    }
    // A device unplugged (and done with) may come back as the next unit.
    for (auto it = handled_.begin(); it != handled_.end();) {
        it = present.count(*it) || busy_.count(*it) ? std::next(it) : handled_.erase(it);
    }
    const bool nothingMore = stopping || !Wanted() || (options_.values && rows_.empty());
    return !(busy_.empty() && nothingMore);
}

std::size_t ProvisioningLine::Done() {
    std::lock_guard lock(mutex_);
    return done_;
}

std::size_t ProvisioningLine::Failed() {
    std::lock_guard lock(mutex_);
    return failed_;
}

void ProvisioningLine::Provision(const LineDevice& device) {
    if (hooks_.started) {
        std::lock_guard hook(hookMutex_);
        hooks_.started(device);
    }
    settings::SettingsModel readBack;
    const LineResult result = Turn(device, readBack);
    if (!result.verified && result.outcome.holds == DeviceHolds::kUnchanged &&
        !result.passwordOutcome) {
        GiveBack(device.row);
    }
    if (hooks_.ended) {
        std::lock_guard hook(hookMutex_);
        hooks_.ended(device, result, readBack);
    }
    std::lock_guard lock(mutex_);
    busy_.erase(device.path);
    ++done_;
    failed_ += result.verified ? 0 : 1;
}

LineResult ProvisioningLine::Turn(const LineDevice& device, settings::SettingsModel& readBack) {
    const auto start = Clock::now();
    LineResult result;
    settings::SettingsModel wanted;
    if (options_.values && device.row) {
        settings::ApplyValuesRow(options_.templateContent, *options_.values, *device.row, wanted);
    } else {
        settings::FillModelFromFile(options_.templateContent, wanted);
    }
    result.values = ValuesText(options_.values, device.row);
    auto finish = [&] {
        result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        return result;
    };

    link::ConnHIDCOM connection(platform_, device.path);
    DeviceExchange exchange(connection);
    connection.Open();
    if (!Attached(connection, options_.attachWait, options_.stopRequested)) {
        result.outcome.ending = Ending::kDetached;
        result.words = "it went away before the log-in: nothing was sent";
        return finish();
    }
    const auto say = [this, &device](const std::string& stage, int percent) {
        if (hooks_.progress) {
            std::lock_guard hook(hookMutex_);
            hooks_.progress(device, stage, percent);
        }
    };
    DeviceSession session(exchange, ProgressTo(say), kSilenceLimit, options_.stopRequested);
    say("Logging in", 0);
    // The password is given once: a wrong one ends this device's turn.
    const PasswordAsker ask = [&](bool wrongBefore) -> std::optional<long long> {
        if (wrongBefore || !options_.password) {
            return std::nullopt;
        }
        return EncodePassword(*options_.password).value_or(-1);
    };
    const LogInOutcome loggedIn = session.LogIn(ask);
    if (loggedIn != LogInOutcome::kLoggedIn) {
        result.outcome.ending = Ending::kDetached;
        result.words = LogInWords(loggedIn, session);
        return finish();
    }

    std::optional<settings::BackupStore> store;
    if (options_.backupFolder) {
        store.emplace(*options_.backupFolder);
    }
    BackupRequest backup;
    backup.store = store ? &*store : nullptr;
    WriteRequest request;
    request.settings = &wanted;
    request.modeIndex = options_.templateContent.ModeIndex();
    request.stopCause = StopCause::kSignal;
    settings::HeldSettings held;
    result.outcome = RunChangesWrite(session, request, backup, held, readBack, result.written);
    result.firmware = held.Firmware();
    result.accountBefore = result.written.accountBefore;
    result.backupPath = result.outcome.backupPath;
    result.verified = result.outcome.ending == Ending::kComplete;
    result.accountAfter = result.verified ? settings::AccountIdOf(wanted) : held.AccountId();
    result.words = result.verified ? (result.written.Nothing() ? "already held the template"
                                                               : "written and verified")
                                   : DescribeOutcome(result.outcome);
    if (result.verified && options_.newPassword) {
        const std::optional<long long> encoded = EncodePassword(*options_.newPassword);
        result.passwordOutcome = ChangePassword(session, encoded.value_or(-1), StopCause::kSignal);
        if (result.passwordOutcome->ending == Ending::kComplete) {
            result.words += "; password changed";
        } else {
            result.verified = false;
            result.words += "; " + DescribeOutcome(*result.passwordOutcome);
        }
    }
    return finish();
}

std::string LineSentence(const LineDevice& device, const LineResult& result) {
    char took[32];
    std::snprintf(took, sizeof took, "%.1f", result.seconds);
    std::string said = "port " + device.port + ": ";
    if (result.outcome.ending == Ending::kComplete) {
        said += settings::Cp1250ToPrintableUtf8(result.accountAfter) + " ";
    }
    return said + settings::Cp1250ToPrintableUtf8(result.words) + " in " + took + " s: unplug it";
}

std::string LineRecordHeader() {
    return "time,port,usb path,firmware,account before,account after,values,settings written,"
           "outcome,backup,seconds\r\n";
}

std::string LineRecordRow(const LineDevice& device, const LineResult& result) {
    char took[32];
    std::snprintf(took, sizeof took, "%.1f", result.seconds);
    const bool plain = result.verified && !result.passwordOutcome;
    return IsoTime(std::chrono::system_clock::now()) + "," + Cell(device.port) + "," +
           Cell(device.path) + "," + Cell(result.firmware) + "," +
           Cell(result.written.accountBefore) + "," + Cell(result.accountAfter) + "," +
           Cell(result.values) + "," +
           std::to_string(result.written.parameters + result.written.sectors) + "," +
           Cell(plain ? "verified" : result.words) + "," + Cell(result.backupPath) + "," + took +
           "\r\n";
}

}  // namespace quelvar::exchange

#pragma once
// The provisioning line, for both programs: a template written to every communicator plugged in,
// each with its own row of values, several at once, each on its own session and thread; only
// what differs is written, after a backup, and verified; a new password may follow. The front
// end calls Step() on its own clock and hears of each device through hooks.

#include <chrono>
#include <cstddef>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "exchange/Sequences.h"
#include "link/HidPlatform.h"
#include "settings/BackupStore.h"
#include "settings/SettingsFile.h"
#include "settings/ValuesFile.h"

namespace quelvar::exchange {

// A device on the line.
struct LineDevice {
    std::size_t number = 0;  // in the order the line took them, from 1
    std::string path;
    std::string port;                // link::ShortPortName
    std::optional<std::size_t> row;  // its row of values; nothing without a values file
};

// How a device's turn on the line ended.
struct LineResult {
    bool verified = false;
    std::string firmware;
    std::string accountBefore;
    std::string accountAfter;
    std::string values;  // "ACCID=12AB; UPHN1=+3612345"; empty without a values file
    std::string words;   // the outcome in one sentence, Windows-1250
    ChangesWritten written;
    std::string backupPath;
    double seconds = 0;
    // The write's outcome, and the password change's when one was asked for and ran.
    SequenceOutcome outcome;
    std::optional<SequenceOutcome> passwordOutcome;
};

class ProvisioningLine {
  public:
    struct Options {
        explicit Options(settings::SettingsFileContent content)
            : templateContent(std::move(content)) {}

        settings::SettingsFileContent templateContent;
        std::optional<settings::ValuesTable> values;        // checked already (CheckValuesRows)
        std::optional<std::size_t> count;                   // end after this many devices
        std::optional<std::string> password;                // four digits, if the devices have one
        std::optional<std::string> newPassword;             // four digits, set once verified
        std::optional<std::filesystem::path> backupFolder;  // nothing: no backups are taken
        std::chrono::milliseconds attachWait{10000};
        // A device under way is cut between two exchanges once this says so.
        std::function<bool()> stopRequested;
    };
    // Called on a device's own thread, one call at a time across the line.
    struct Hooks {
        std::function<void(const LineDevice&)> started;
        // The stage under way and how far it is, 0 to 100.
        std::function<void(const LineDevice&, const std::string& stage, int percent)> progress;
        // The settings the device holds afterwards, as far as the verify read them back.
        std::function<void(const LineDevice&, const LineResult&,
                           const settings::SettingsModel& readBack)>
            ended;
    };

    ProvisioningLine(link::HidPlatform& platform, Options options, Hooks hooks);
    // Waits for every device under way (the stop predicate cuts them).
    ~ProvisioningLine();
    ProvisioningLine(const ProvisioningLine&) = delete;
    ProvisioningLine& operator=(const ProvisioningLine&) = delete;

    // One look at the communicators attached: each new one gets its row, session and thread. A
    // device provisioned stays done until it is unplugged. False once the line has nothing
    // more to do: `count` devices or every row taken, and all of them ended.
    bool Step();
    // Waits for every device under way.
    void Finish();
    std::size_t Done();
    std::size_t Failed();

  private:
    void Provision(const LineDevice& device);
    LineResult Turn(const LineDevice& device, settings::SettingsModel& readBack);
    std::optional<std::optional<std::size_t>> TakeRow();
    void GiveBack(const std::optional<std::size_t>& row);
    bool Wanted() const;

    link::HidPlatform& platform_;
    const Options options_;
    const Hooks hooks_;
    std::mutex mutex_;      // the line's state below
    std::mutex hookMutex_;  // one hook call at a time
    std::deque<std::size_t> rows_;
    std::set<std::string> busy_;     // paths whose device is under way
    std::set<std::string> handled_;  // provisioned and still plugged in: not again
    std::size_t started_ = 0;
    std::size_t done_ = 0;
    std::size_t failed_ = 0;
    std::vector<std::pair<std::string, std::jthread>> running_;  // by path
};

// The line a person reads: "port 1-1.2: 12AB written and verified in 1.9 s: unplug it" (UTF-8).
std::string LineSentence(const LineDevice& device, const LineResult& result);
// The record's header and one device's row: RFC 4180, UTF-8, cells safe for spreadsheets.
std::string LineRecordHeader();
std::string LineRecordRow(const LineDevice& device, const LineResult& result);

}  // namespace quelvar::exchange

#pragma once
// The backups of devices' settings: one settings file per overwrite, kept in the user's data
// folder under a name that sorts by time and says whose settings it holds
// ("2026-12-09T15-30-12Z_A1B2_2.14.am2", the time in UTC), readable by the owner alone. The
// folder keeps the newest kBackupLimit backups and, beyond those, the newest backup of every
// account ID and every backup this program wrote.

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/Catalogue.h"

namespace quelvar::settings {

inline constexpr std::size_t kBackupLimit = 1000;
inline constexpr std::string_view kAccountKey = "ACCID";

// The environment variable's value, or null; std::getenv for the programs, a table for tests.
using EnvironmentLookup = std::function<const char*(const char* name)>;

// $XDG_DATA_HOME/quelvar-gsm/backups (an absolute XDG_DATA_HOME only), else
// $HOME/.local/share/quelvar-gsm/backups; on Windows %LOCALAPPDATA%\Quelvar GSM\backups. Empty
// when the environment names no home at all.
std::filesystem::path DefaultBackupFolder(const EnvironmentLookup& environment);

struct BackupEntry {
    std::filesystem::path path;
    std::chrono::system_clock::time_point when;  // names without a Z are local time
    std::string time;                            // local time, "2026-12-09 15:30:12"
    std::string accountId;                       // as the name holds it
    std::string firmware;                        // as the name holds it
    int sequence = 1;                            // the n-th backup taken within that second
};

struct BackupSaveResult {
    std::filesystem::path path;  // empty when not saved
    std::string error;           // why not, one line
    bool Saved() const { return error.empty(); }
};

class BackupStore {
  public:
    explicit BackupStore(std::filesystem::path folder, std::size_t limit = kBackupLimit)
        : folder_(std::move(folder)), limit_(limit) {}

    const std::filesystem::path& Folder() const { return folder_; }

    // Writes the bytes as a new backup (creating the folder, owner-only) under a name no other
    // file has, not even one another program takes in the same second, then drops the backups
    // beyond the bound. `error` says why when no folder is known (no home), it cannot be made,
    // or the file cannot be written; no half-written file is left either way. A backup that
    // cannot be dropped just stays, unreported: the new one is saved all the same.
    BackupSaveResult Save(
        std::string_view bytes, std::string_view accountId, std::string_view firmware,
        std::chrono::system_clock::time_point when = std::chrono::system_clock::now());
    // The same for settings held in a set-up model, with their mode; the account ID is the
    // model's. Also not saved when a value holds a line break.
    BackupSaveResult Save(
        const SettingsModel& model, int modeIndex, std::string_view firmware,
        std::chrono::system_clock::time_point when = std::chrono::system_clock::now());

    // The backups, newest first; with an account ID only that account's (ignoring ASCII case).
    // Files whose names are not backup names are not listed (and never removed). None when the
    // folder is missing or cannot be read.
    std::vector<BackupEntry> List(std::optional<std::string_view> accountId = std::nullopt) const;
    // The newest backup whose file holds exactly this account ID (its "ACCID", byte for byte);
    // nothing when none does or none can be read.
    std::optional<BackupEntry> NewestHolding(std::string_view accountId) const;

  private:
    void KeepBound() const;

    std::filesystem::path folder_;
    std::size_t limit_;
};

// The account ID the set-up model holds ("ACCID"); never fails.
std::string AccountIdOf(const SettingsModel& model);

}  // namespace quelvar::settings

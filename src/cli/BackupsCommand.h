#pragma once
// The backups from the command line: listing them, and putting one back on the device.

#include <optional>
#include <ostream>
#include <string>

#include "cli/BackupStep.h"
#include "cli/CommandDevice.h"
#include "settings/SettingsFile.h"

namespace quelvar::cli {

// One line per backup, newest first: path, local time, account ID and firmware, separated by
// tabs; with `account` only that account's. kExitOk, also when there is none (said on standard
// error).
int RunBackups(std::ostream& out, std::ostream& err, const BackupOptions& options,
               const std::optional<std::string>& account);

// With a file (its `content` read): exactly `write`. Without: logs in, reads the device's
// account ID, then writes the newest backup of that account as `write` does, backup first.
// kExitBadFile when there is no such backup or it cannot be read.
int RunRestore(const CommandContext& context, const std::string& path,
               const std::optional<settings::SettingsFileContent>& content, bool force,
               const BackupOptions& backup, bool all = false);

}  // namespace quelvar::cli

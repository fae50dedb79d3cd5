#pragma once
// Where a write's backup goes, and what is said of it.

#include <chrono>
#include <filesystem>
#include <string>

#include "cli/CommandDevice.h"

namespace quelvar::cli {

struct BackupOptions {
    bool skip = false;             // --no-backup
    std::filesystem::path folder;  // empty: the environment names no folder
};

// "Read the communicator's settings in 0.81 s; backup PATH" on standard error, unless quiet.
void ReportBackup(const CommandContext& context, std::chrono::steady_clock::time_point start,
                  const std::string& path);

// "Written and verified in 1.62 s" on standard error, unless quiet.
void ReportWriteTime(const CommandContext& context, std::chrono::steady_clock::time_point start);

}  // namespace quelvar::cli

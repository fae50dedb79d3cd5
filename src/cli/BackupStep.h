#pragma once
// The backup a write takes first: everything the device holds, read and saved to the backup
// folder before anything on it is overwritten.

#include <chrono>
#include <filesystem>

#include "cli/CommandDevice.h"

namespace quelvar::cli {

struct BackupOptions {
    bool skip = false;             // --no-backup
    std::filesystem::path folder;  // empty: the environment names no folder
};

// For a device just logged in: reads every setting and saves them as a backup, saying on
// standard error (unless quiet) how long the read took and where the backup went. kExitOk; or,
// with its message on standard error, the fault's exit code, kExitNoDevice for a read that is
// not complete, kExitBadFile when the backup cannot be written. With `skip`, kExitOk at once.
int BackUpBeforeWrite(const CommandContext& context, CommandDevice& device,
                      const BackupOptions& options);

// "Wrote and verified in 1.62 s" on standard error, unless quiet.
void ReportWriteTime(const CommandContext& context, std::chrono::steady_clock::time_point start);

}  // namespace quelvar::cli

#pragma once

#include <string>

#include "cli/BackupStep.h"
#include "cli/CommandDevice.h"
#include "register/SiteRegister.h"
#include "settings/SettingsFile.h"

namespace quelvar::cli {

// Checks the file first: with findings (missing keys, values no editor could produce) nothing is
// sent and it exits 3, unless `force`. Then logs in, takes the backup (see BackupStep.h) and
// writes the file's content as a write-back does, with the operating mode from the file and
// "GACK" as the device holds it; reads everything back and compares every setting with the file,
// each difference on standard output; a key missing from the file is compared with what its load
// leaves (the setting cleared). Unless `all`, only what differs from the device (read for the
// backup) is written and read back (see RunChangesWrite); a device that holds the file already
// gets nothing.
int RunWrite(const CommandContext& context, const std::string& path,
             const settings::SettingsFileContent& content, bool force, const BackupOptions& backup,
             sites::RevisionKind kind = sites::RevisionKind::kCommandWrite, bool all = false);

}  // namespace quelvar::cli

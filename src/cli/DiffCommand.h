#pragma once

#include <string>

#include "cli/CommandDevice.h"
#include "settings/SettingsFile.h"

namespace quelvar::cli {

// Logs in, reads every setting as `read` does (nothing is written) and prints each that differs
// from the file, as the verify of `write` does, then a summary line. The file's findings other
// than missing keys (which are differences) go to standard error first, as `write` prints them.
// kExitOk when equal, kExitMismatch when they differ.
int RunDiffWithDevice(const CommandContext& context, const std::string& path,
                      const settings::SettingsFileContent& content);

// The same between two files, without a device; each finding names its file.
int RunDiffOfFiles(std::ostream& out, std::ostream& err, const std::string& firstPath,
                   const settings::SettingsFileContent& first, const std::string& secondPath,
                   const settings::SettingsFileContent& second);

}  // namespace quelvar::cli

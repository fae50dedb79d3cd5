#pragma once

#include <string>

#include "cli/CommandDevice.h"
#include "settings/SettingsFile.h"

namespace quelvar::cli {

// Logs in and writes the settings file's content as a write-back does, with the operating mode
// from the file and "GACK" as the device holds it; then reads everything back and reports each
// difference on standard output. The file is read (and refused) before the device is touched.
int RunWrite(const CommandContext& context, const std::string& path,
             const settings::SettingsFileContent& content);

}  // namespace quelvar::cli

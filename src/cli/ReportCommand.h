#pragma once

#include <ostream>
#include <string>

#include "settings/SettingsFile.h"

namespace quelvar::cli {

// Writes the settings report of the file's settings to `htmlPath` (replaced in one step), dated
// today; the SIM card's PIN only `withPin`. kExitOk, or kExitBadFile when it cannot be written.
int RunReport(const std::string& path, const settings::SettingsFileContent& content,
              const std::string& htmlPath, bool withPin, std::ostream& out, std::ostream& err);

}  // namespace quelvar::cli

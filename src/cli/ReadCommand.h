#pragma once

#include <string>

#include "cli/CommandDevice.h"

namespace quelvar::cli {

// Logs in, reads everything the initial read reads and saves it to the settings file. Nothing
// is saved unless every setting and both event tables came.
int RunRead(const CommandContext& context, const std::string& path);

}  // namespace quelvar::cli

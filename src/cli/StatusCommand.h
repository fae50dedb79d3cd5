#pragma once

#include <chrono>
#include <ostream>
#include <string>

#include "link/HidPlatform.h"

namespace quelvar::cli {

// Waits up to `wait` for the communicator, then prints its live status texts, its firmware
// version and the event lines that came in meanwhile, in UTF-8. Returns the process exit code:
// 0, or 1 when no device came.
int RunStatus(link::HidPlatform& platform, std::chrono::milliseconds wait, std::ostream& out,
              std::ostream& err, const std::string& devicePath = {});

}  // namespace quelvar::cli

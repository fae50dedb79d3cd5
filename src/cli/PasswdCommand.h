#pragma once

#include <string>

#include "cli/CommandDevice.h"

namespace quelvar::cli {

// Logs in with the current password, sets the new four digits and reads "PW" back to see that
// the device took them.
int RunPasswd(const CommandContext& context, const std::string& newPassword);

}  // namespace quelvar::cli

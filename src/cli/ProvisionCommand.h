#pragma once
// The provisioning line: a template written to every communicator plugged in, each with its own
// row of values, several at once, each on its own session and thread; only what differs is
// written, after a backup, and verified; each device is recorded.

#include <chrono>
#include <optional>
#include <ostream>
#include <string>

#include "cli/BackupStep.h"
#include "link/HidPlatform.h"
#include "settings/SettingsFile.h"

namespace quelvar::cli {

struct ProvisionOptions {
    std::string templatePath;
    std::optional<std::string> valuesPath;   // CSV: one row per device
    std::optional<std::string> recordPath;   // CSV: one row per device provisioned
    std::optional<std::size_t> count;        // end after this many devices
    std::optional<std::string> password;     // the devices' password, if they have one
    std::optional<std::string> newPassword;  // set on each device once it is verified
    BackupOptions backup;
};

// Checks every row first (nothing starts on a finding: exit 3). Then waits for communicators
// and provisions each one plugged in, printing its line ("port #2: 12AB written and verified in
// 1.9 s: unplug it"). Ends after `count` devices, when the rows are used up, or on Ctrl+C (a
// device under way is finished or cut and said so): 0 when every device ended verified, 4 when
// one did not, 130/143 after a signal.
int RunProvision(link::HidPlatform& platform, const settings::SettingsFileContent& templateContent,
                 const ProvisionOptions& options, std::ostream& out, std::ostream& err);

}  // namespace quelvar::cli

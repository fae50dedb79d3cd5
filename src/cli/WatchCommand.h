#pragma once
// status --watch: the communicator's status rounds and event lines as they come, for placing
// the antenna and following test alarms, until Ctrl+C.

#include <chrono>
#include <optional>
#include <ostream>
#include <string>

#include "link/HidPlatform.h"

namespace quelvar::cli {

struct WatchOptions {
    std::chrono::milliseconds wait{10000};  // for the device to appear
    std::optional<std::string> logPath;     // CSV of every status report and event line
    bool inPlace = false;                   // a terminal: the status line is redrawn in place
    std::string devicePath = {};            // the communicator chosen; empty: the first found
};

// Runs until SIGINT, SIGTERM or SIGHUP (see Interrupt.h), then logs what is still queued, prints
// the summary and returns kExitOk; kExitNoDevice when no device came or it went away,
// kExitBadFile when the log cannot be written (checked before, without emptying an old log,
// then at every write: the first failure ends the watch).
int RunWatch(link::HidPlatform& platform, const WatchOptions& options, std::ostream& out,
             std::ostream& err);

}  // namespace quelvar::cli

#pragma once
// Several communicators attached: `list` names them, --device chooses one, and a command that
// would otherwise take one by chance refuses and names them.

#include <chrono>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "link/HidPlatform.h"

namespace quelvar::cli {

struct AttachedDevice {
    std::size_t number = 0;  // as `list` prints it, from 1
    std::string path;
    std::string port;  // ShortPortName
};

// Every communicator attached now, in the system's order.
std::vector<AttachedDevice> AttachedDevices(link::HidPlatform& platform);

struct DeviceChoice {
    std::string path;  // the interface to open; empty: the first found (none or one attached)
    int exitCode = 0;  // not kExitOk: the reason is on standard error
};

// --device as a path or as the number `list` printed; without it, several attached are refused
// with their list, since a write to the wrong one cannot be taken back.
DeviceChoice ChooseDevice(link::HidPlatform& platform, const std::optional<std::string>& device,
                          std::ostream& err);

// `list [--json]`: one line (or JSON object) per communicator: number, port, path, firmware,
// whether a password is set, account ID. Waits up to `wait` for a first one.
int RunList(link::HidPlatform& platform, std::chrono::milliseconds wait, bool json,
            std::ostream& out, std::ostream& err);

}  // namespace quelvar::cli

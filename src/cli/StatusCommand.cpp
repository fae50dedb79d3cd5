#include "cli/StatusCommand.h"

#include <mutex>
#include <optional>
#include <thread>

#include "cli/CommandDevice.h"
#include "cli/ExitCodes.h"
#include "exchange/DeviceExchange.h"
#include "link/ConnHIDCOM.h"
#include "settings/BackupStore.h"
#include "settings/Cp1250.h"
#include "settings/SettingsFile.h"

namespace quelvar::cli {

namespace {

using namespace std::chrono_literals;
using settings::Cp1250ToPrintableUtf8;

}  // namespace

int RunStatus(link::HidPlatform& platform, std::chrono::milliseconds wait, std::ostream& out,
              std::ostream& err, const std::string& devicePath) {
    link::ConnHIDCOM connection(platform, devicePath);
    connection.Open();
    if (!WaitForAttach(connection, wait)) {
        err << "No communicator found within " << Seconds(wait) << "\n";
        return kExitNoDevice;
    }
    // Status reports come on the device's own schedule; give it a moment to send a round.
    std::this_thread::sleep_for(1500ms);
    // The version is a parameter like any other; reading it needs no log-in.
    exchange::DeviceExchange exchange(connection);
    const std::optional<std::string> version = exchange.TryGetParameter("VSTR");
    // Which site the device serves, and how: said so that a script need not read everything.
    const std::optional<std::string> account =
        exchange.TryGetParameter(std::string(settings::kAccountKey));
    const std::optional<std::string> mode =
        exchange.TryGetParameter(std::string(settings::kModeKey));
    const auto shown = [](const std::optional<std::string>& value) {
        return value ? Cp1250ToPrintableUtf8(*value) : std::string("(no answer)");
    };
    const link::LinkSnapshot now = connection.Snapshot();
    out << "SIM:      " << Cp1250ToPrintableUtf8(now.simStatus) << "\n"
        << "Signal:   " << Cp1250ToPrintableUtf8(now.gsmSignal) << "\n"
        << "Line:     " << Cp1250ToPrintableUtf8(now.lineState) << "\n"
        << "Z1:       " << Cp1250ToPrintableUtf8(now.input1State) << "\n"
        << "Z2:       " << Cp1250ToPrintableUtf8(now.input2State) << "\n"
        << "Firmware: " << shown(version) << "\n"
        << "Account:  " << shown(account) << "\n"
        << "Mode:     " << shown(mode) << "\n";
    for (std::string line = connection.TakeEventLine(); line != link::kNoEvent;
         line = connection.TakeEventLine()) {
        out << "Event:    " << Cp1250ToPrintableUtf8(line) << "\n";
    }
    // Something that enumerates like the communicator but answers no command is no
    // communicator a script can use (on Windows, say, a stale device entry).
    if (!version) {
        err << "The device did not answer\n";
        return kExitNoDevice;
    }
    return kExitOk;
}

}  // namespace quelvar::cli

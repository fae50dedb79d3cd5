#include "cli/StatusCommand.h"

#include <mutex>
#include <optional>
#include <thread>

#include "cli/CommandDevice.h"
#include "cli/ExitCodes.h"
#include "exchange/DeviceExchange.h"
#include "link/ConnHIDCOM.h"
#include "link/LinkLock.h"
#include "settings/Cp1250.h"

namespace quelvar::cli {

namespace {

using namespace std::chrono_literals;
using settings::Cp1250ToPrintableUtf8;

}  // namespace

int RunStatus(link::HidPlatform& platform, std::chrono::milliseconds wait, std::ostream& out,
              std::ostream& err) {
    link::ConnHIDCOM connection(platform);
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
    std::lock_guard lock(link::LinkLock());
    out << "SIM:      " << Cp1250ToPrintableUtf8(connection.simStatus) << "\n"
        << "Signal:   " << Cp1250ToPrintableUtf8(connection.gsmSignal) << "\n"
        << "Line:     " << Cp1250ToPrintableUtf8(connection.lineState) << "\n"
        << "Z1:       " << Cp1250ToPrintableUtf8(connection.input1State) << "\n"
        << "Z2:       " << Cp1250ToPrintableUtf8(connection.input2State) << "\n"
        << "Firmware: " << (version ? Cp1250ToPrintableUtf8(*version) : "(no answer)") << "\n";
    for (std::string line = connection.TakeEvent(); line != link::kNoEvent;
         line = connection.TakeEvent()) {
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

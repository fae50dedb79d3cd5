#include "cli/StatusCommand.h"

#include <mutex>
#include <thread>
#include <vector>

#include "link/ConnHIDCOM.h"
#include "link/LinkLock.h"

namespace quelvar::cli {

namespace {

using namespace std::chrono_literals;

bool WaitForAttach(link::ConnHIDCOM& connection, std::chrono::milliseconds wait) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (std::chrono::steady_clock::now() < deadline) {
        {
            std::lock_guard lock(link::LinkLock());
            if (connection.IsAttached()) {
                return true;
            }
        }
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

}  // namespace

int RunStatus(link::HidPlatform& platform, std::chrono::milliseconds wait, std::ostream& out,
              std::ostream& err) {
    link::ConnHIDCOM connection(platform);
    connection.Open();
    if (!WaitForAttach(connection, wait)) {
        err << "No communicator found on USB within " << wait.count() / 1000.0 << " s\n";
        return 1;
    }
    // Status reports come on the device's own schedule; give it a moment to send a round.
    std::this_thread::sleep_for(1500ms);
    std::lock_guard lock(link::LinkLock());
    out << "SIM:     " << connection.simStatus << "\n"
        << "Signal:  " << connection.gsmSignal << "\n"
        << "Line:    " << connection.lineState << "\n"
        << "Z1:      " << connection.input1State << "\n"
        << "Z2:      " << connection.input2State << "\n";
    for (std::string line = connection.TakeEvent(); line != link::kNoEvent;
         line = connection.TakeEvent()) {
        out << "Event:   " << line << "\n";
    }
    return 0;
}

}  // namespace quelvar::cli

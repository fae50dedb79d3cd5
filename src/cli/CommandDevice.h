#pragma once
// The communicator as the read, write and passwd commands meet it: connected, waited for and
// logged in, through a session that gives up on a device gone silent.

#include <chrono>
#include <optional>
#include <ostream>
#include <string>

#include "cli/ProgressBar.h"
#include "exchange/DeviceExchange.h"
#include "exchange/DeviceSession.h"
#include "link/ConnHIDCOM.h"
#include "link/HidPlatform.h"

namespace quelvar::cli {

// No command answered for this long means the device is not coming back: about three commands'
// worth of acknowledgement waits.
inline constexpr std::chrono::seconds kSilenceLimit{3};

struct CommandContext {
    link::HidPlatform& platform;
    std::chrono::milliseconds wait;
    std::optional<std::string> password;  // four digits
    ProgressBar& progress;
    std::ostream& out;
    std::ostream& err;
};

// True once the device is attached; false when `wait` passed first.
bool WaitForAttach(link::ConnHIDCOM& connection, std::chrono::milliseconds wait);
// "10 s", "0.5 s".
std::string Seconds(std::chrono::milliseconds wait);
// What a read that is not Complete() lacks, in one line without a full stop.
std::string IncompleteReadMessage(const exchange::ReadAllResult& read);

class CommandDevice {
  public:
    explicit CommandDevice(const CommandContext& context)
        : context_(context), connection_(context.platform), exchange_(connection_) {}

    // Opens the connection, waits for the device and logs in with the context's password.
    // kExitOk, or the exit code with its message already on standard error.
    int LogIn();
    // Only after a successful LogIn.
    exchange::DeviceSession& Session() { return *session_; }
    // For a session that stopped early: its message on standard error and kExitNoDevice.
    // kExitOk when it did not.
    int FaultExit();

  private:
    const CommandContext& context_;
    link::ConnHIDCOM connection_;
    exchange::DeviceExchange exchange_;
    std::optional<exchange::DeviceSession> session_;
};

}  // namespace quelvar::cli

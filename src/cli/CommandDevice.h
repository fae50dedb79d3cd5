#pragma once
// The communicator as the read, write and passwd commands meet it: connected, waited for and
// logged in, through a session that gives up on a device gone silent.

#include <chrono>
#include <functional>
#include <optional>
#include <ostream>
#include <string>

#include "cli/PasswordSource.h"
#include "cli/ProgressBar.h"
#include "exchange/DeviceExchange.h"
#include "exchange/DeviceSession.h"
#include "link/ConnHIDCOM.h"
#include "link/HidPlatform.h"

namespace quelvar::cli {

struct CommandContext {
    link::HidPlatform& platform;
    std::chrono::milliseconds wait;
    std::optional<std::string> password;  // four digits
    ProgressBar& progress;
    std::ostream& out;
    std::ostream& err;
    // Asked when the device needs a password and none was given; may be empty.
    PasswordPrompt askPassword = {};
    // Makes what the device now holds last (the simulated communicator's state file): empty, or
    // the reason it could not. May be empty.
    std::function<std::string()> keepState = {};
    // The interface path of the communicator chosen (--device); empty: the first found.
    std::string devicePath = {};
};

// Calls the context's keepState before a command says it succeeded, so that it never says so of
// a change that is then lost: kExitOk, or kExitBadFile with the reason on standard error.
int KeepDeviceState(const CommandContext& context);

// True once the device is attached; false when `wait` passed first or a signal came.
bool WaitForAttach(link::ConnHIDCOM& connection, std::chrono::milliseconds wait);
// "10 s", "0.5 s".
std::string Seconds(std::chrono::milliseconds wait);
// What a read that is not Complete() lacks, in one line without a full stop.
std::string IncompleteReadMessage(const exchange::ReadAllResult& read);

class CommandDevice {
  public:
    // Stops its exchanges when SIGINT or SIGTERM comes (see Interrupt.h).
    explicit CommandDevice(const CommandContext& context);

    // Opens the connection, waits for the device and logs in with the context's password.
    // kExitOk, or the exit code with its message already on standard error.
    int LogIn();
    // Only after a successful LogIn.
    exchange::DeviceSession& Session() { return *session_; }
    // For a session that stopped early: its message on standard error and kExitNoDevice, or
    // for an interrupted one "Interrupted while <stage>: <what the device holds>" and 130 or 143.
    // kExitOk when it did not.
    int FaultExit();
    // LogIn, then every setting read into the set-up model as the initial read reads it. kExitOk
    // only when all came; otherwise the message, ending in `unlessComplete` when the read was
    // incomplete, is on standard error.
    int ReadEverything(settings::SettingsModel& model, exchange::ReadAllResult& read,
                       const std::string& unlessComplete);
    // What the device holds should a signal, a pulled cable or a silent device cut the session
    // from now on, for FaultExit's line: "nothing was saved; the device is unchanged".
    void SetOutcomeIfCut(std::string outcome) { outcomeIfCut_ = std::move(outcome); }
    // The USB path of the device found; empty before.
    std::string UsbPath() const { return connection_.Snapshot().devicePath; }

  private:
    const CommandContext& context_;
    link::ConnHIDCOM connection_;
    exchange::DeviceExchange exchange_;
    std::optional<exchange::DeviceSession> session_;
    std::string outcomeIfCut_ = "nothing on it was changed";
};

}  // namespace quelvar::cli

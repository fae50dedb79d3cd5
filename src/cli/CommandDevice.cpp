#include "cli/CommandDevice.h"

#include <mutex>
#include <sstream>
#include <thread>

#include "cli/ExitCodes.h"
#include "cli/Interrupt.h"
#include "exchange/Sequences.h"
#include "settings/Cp1250.h"

namespace quelvar::cli {

bool WaitForAttach(link::ConnHIDCOM& connection, std::chrono::milliseconds wait) {
    const auto start = std::chrono::steady_clock::now();
    const auto deadline = start + wait;
    // However short the wait, the receiver's first look for the device counts (a device that is
    // there is found even with --wait 0), but a stuck look does not hold the caller for long.
    constexpr std::chrono::seconds kFirstLookLimit{2};
    for (;;) {
        if (connection.Snapshot().attached) {
            return true;
        }
        const auto now = std::chrono::steady_clock::now();
        const bool looked = connection.DiscoveryPasses() > 0 || now >= start + kFirstLookLimit;
        if ((now >= deadline && looked) || InterruptSignal() != 0) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::string Seconds(std::chrono::milliseconds wait) {
    std::ostringstream text;
    text << static_cast<double>(wait.count()) / 1000 << " s";
    return text.str();
}

std::string IncompleteReadMessage(const exchange::ReadAllResult& read) {
    std::string lacking;
    auto add = [&](const std::string& what) { lacking += (lacking.empty() ? "" : ", ") + what; };
    for (const std::string& key : read.unansweredKeys) {
        add(key);
    }
    if (read.alarms != exchange::EventReadOutcome::kRead) {
        add("the alarm table");
    }
    if (read.inputs != exchange::EventReadOutcome::kRead) {
        add("the input table");
    }
    return "The communicator did not give " + lacking;
}

int KeepDeviceState(const CommandContext& context) {
    if (!context.keepState) {
        return kExitOk;
    }
    if (const std::string error = context.keepState(); !error.empty()) {
        context.err << error << "\n";
        return kExitBadFile;
    }
    return kExitOk;
}

CommandDevice::CommandDevice(const CommandContext& context)
    : context_(context),
      connection_(context.platform, context.devicePath),
      exchange_(connection_) {}

int CommandDevice::LogIn() {
    std::ostream& err = context_.err;
    connection_.Open();
    if (!WaitForAttach(connection_, context_.wait)) {
        if (InterruptSignal() != 0) {
            err << "Interrupted while waiting for the communicator: nothing was sent\n";
            return InterruptExitCode();
        }
        err << "No communicator found within " << Seconds(context_.wait) << "\n";
        return kExitNoDevice;
    }
    // A signal stops the session (every session of the process, should there be several).
    session_.emplace(exchange_, context_.progress.Callbacks(), exchange::kSilenceLimit,
                     [] { return InterruptSignal() != 0; });
    // The password is given once: a wrong one ends the log-in rather than asking again.
    bool interrupted = false;
    const exchange::PasswordAsker ask = [&](bool wrongBefore) -> std::optional<long long> {
        if (wrongBefore) {
            return std::nullopt;
        }
        std::optional<std::string> given = context_.password;
        if (!given && context_.askPassword) {
            given = context_.askPassword();
            interrupted = InterruptSignal() != 0;
        }
        // An entry that is not four digits logs in to no device.
        return given ? exchange::EncodePassword(*given).value_or(-1) : std::optional<long long>();
    };
    switch (session_->LogIn(ask)) {
        case exchange::LogInOutcome::kLoggedIn:
            return kExitOk;
        case exchange::LogInOutcome::kFault:
            return FaultExit();
        case exchange::LogInOutcome::kUnanswered:
            err << "The communicator did not answer the password request\n";
            return kExitNoDevice;
        case exchange::LogInOutcome::kPasswordUnreadable:
            err << "The communicator's password setting is not a number, so no password can "
                   "log in; reset the device\n";
            return kExitNoDevice;
        case exchange::LogInOutcome::kPasswordOutOfReach:
            err << "The communicator's password cannot be entered here: no four digits give "
                   "its password setting, so no password can log in; reset the device\n";
            return kExitNoDevice;
        case exchange::LogInOutcome::kCancelled:
            break;
        case exchange::LogInOutcome::kWrongPassword:
            err << "Wrong password: the communicator does not accept the password given\n";
            return kExitBadPassword;
    }
    if (interrupted) {
        err << "Interrupted while asking for the password: nothing was sent\n";
        return InterruptExitCode();
    }
    err << "The communicator asks for a password; set QUELVAR_PASSWORD or pass "
           "--password-file FILE\n";
    return kExitBadPassword;
}

int CommandDevice::ReadEverything(settings::SettingsModel& model, exchange::ReadAllResult& read,
                                  const std::string& unlessComplete) {
    if (const int code = LogIn(); code != kExitOk) {
        return code;
    }
    read = session_->ReadEverything(model);
    if (const int code = FaultExit(); code != kExitOk) {
        return code;
    }
    if (!read.Complete()) {
        context_.err << IncompleteReadMessage(read) << unlessComplete << "\n";
        return kExitNoDevice;
    }
    return kExitOk;
}

int CommandDevice::FaultExit() {
    if (!session_ || session_->Fault() == exchange::SessionFault::kNone) {
        return kExitOk;
    }
    // The same words as the window's for the same fault.
    context_.err << settings::Cp1250ToPrintableUtf8(exchange::DescribeFault(
                        *session_, outcomeIfCut_, exchange::StopCause::kSignal))
                 << "\n";
    return session_->Fault() == exchange::SessionFault::kStopped ? InterruptExitCode()
                                                                 : kExitNoDevice;
}

}  // namespace quelvar::cli

#include "cli/PasswdCommand.h"

#include "cli/ExitCodes.h"

namespace quelvar::cli {

namespace {

constexpr const char* kConfirmedNotReadBack =
    "the device holds the new password (confirmed, not read back)";

}  // namespace

int RunPasswd(const CommandContext& context, const std::string& newPassword) {
    const std::optional<long long> encoded = exchange::EncodePassword(newPassword);
    if (!encoded) {
        context.err << "The new password must be four digits\n";
        return kExitUsage;
    }
    CommandDevice device(context);
    device.SetOutcomeIfCut("the password was not changed");
    if (const int code = device.LogIn(); code != kExitOk) {
        return code;
    }
    exchange::DeviceSession& session = device.Session();
    const exchange::SetOutcome outcome = session.SetPassword(*encoded);
    device.SetOutcomeIfCut(outcome == exchange::SetOutcome::kAcknowledged
                               ? kConfirmedNotReadBack
                               : "the new password was sent but not checked; try both");
    if (const int code = device.FaultExit(); code != kExitOk) {
        return code;
    }
    if (outcome != exchange::SetOutcome::kAcknowledged) {
        context.err << "The communicator did not confirm the new password; it may or may not "
                       "have changed, so try both\n";
        return kExitNoDevice;
    }
    const exchange::DevicePassword now = session.ReadPassword();
    const bool holdsNew =
        now.kind == exchange::DevicePassword::Kind::kNumber && now.Accepts(*encoded);
    // The change was confirmed, so a stop or a fault during the read-back still says that the
    // device holds the new password.
    if (now.kind == exchange::DevicePassword::Kind::kUnanswered) {
        device.SetOutcomeIfCut(kConfirmedNotReadBack);
    } else if (holdsNew) {
        device.SetOutcomeIfCut("the device holds the new password");
    } else {
        device.SetOutcomeIfCut("the communicator confirmed the new password but holds another one");
    }
    if (const int code = device.FaultExit(); code != kExitOk) {
        return code;
    }
    if (now.kind == exchange::DevicePassword::Kind::kUnanswered) {
        context.err << "The communicator confirmed the new password but did not answer its "
                       "read-back\n";
        return kExitNoDevice;
    }
    if (!holdsNew) {
        context.err << "The communicator confirmed the new password but holds another one\n";
        return kExitMismatch;
    }
    if (const int code = KeepDeviceState(context); code != kExitOk) {
        return code;
    }
    context.out << "Password changed\n";
    return kExitOk;
}

}  // namespace quelvar::cli

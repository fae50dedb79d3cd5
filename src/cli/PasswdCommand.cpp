#include "cli/PasswdCommand.h"

#include "cli/ExitCodes.h"

namespace quelvar::cli {

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
    device.SetOutcomeIfCut("the new password was sent but not checked; try both");
    if (const int code = device.FaultExit(); code != kExitOk) {
        return code;
    }
    if (outcome != exchange::SetOutcome::kAcknowledged) {
        context.err << "The communicator did not confirm the new password; it may or may not "
                       "have changed, so try both\n";
        return kExitNoDevice;
    }
    const exchange::DevicePassword now = session.ReadPassword();
    if (now.kind == exchange::DevicePassword::Kind::kUnanswered) {
        context.err << "The communicator confirmed the new password but did not answer its "
                       "read-back\n";
        return kExitNoDevice;
    }
    if (now.kind != exchange::DevicePassword::Kind::kNumber || !now.Accepts(*encoded)) {
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

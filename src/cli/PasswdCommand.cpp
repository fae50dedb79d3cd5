#include "cli/PasswdCommand.h"

#include "cli/ExitCodes.h"
#include "cli/Interrupt.h"
#include "exchange/Sequences.h"
#include "settings/Cp1250.h"

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
    const exchange::SequenceOutcome outcome =
        exchange::ChangePassword(device.Session(), *encoded, exchange::StopCause::kSignal);
    const std::string sentence =
        settings::Cp1250ToPrintableUtf8(exchange::DescribeOutcome(outcome));
    switch (outcome.ending) {
        case exchange::Ending::kComplete:
            break;
        case exchange::Ending::kStopped:
            context.err << sentence << "\n";
            return InterruptExitCode();
        case exchange::Ending::kOtherPassword:
            context.err << sentence << "\n";
            return kExitMismatch;
        default:
            context.err << sentence << "\n";
            return kExitNoDevice;
    }
    if (const int code = KeepDeviceState(context); code != kExitOk) {
        return code;
    }
    context.out << sentence << "\n";
    return kExitOk;
}

}  // namespace quelvar::cli

#include "cli/PasswdCommand.h"

#include "cli/ExitCodes.h"
#include "cli/Interrupt.h"
#include "cli/SitesCommand.h"
#include "exchange/Sequences.h"
#include "register/SequenceRevision.h"
#include "settings/Cp1250.h"

namespace quelvar::cli {

namespace {

// Under the site the register last met on this device, when it knows one (the password change
// reads no settings); never the password itself.
void RecordPasswordChange(const exchange::SequenceOutcome& outcome, const std::string& usbPath,
                          std::ostream& err) {
    std::optional<std::string> account;
    CommandRegister().Try([&](sites::SiteRegister& reg) { account = reg.LastAccountOn(usbPath); });
    if (account) {
        sites::RecordSequence(CommandRegister(), sites::RevisionKind::kPasswordChange, outcome,
                              std::nullopt, {usbPath, {}, *account});
    }
    SayRegisterNews(err);
}

}  // namespace

int RunPasswd(const CommandContext& context, const std::string& newPassword) {
    const std::optional<long long> encoded = exchange::EncodePassword(newPassword);
    if (!encoded) {
        context.err << "The new password must be four digits\n";
        return kExitUsage;
    }
    CommandRegister().Prepare();
    CommandDevice device(context);
    device.SetOutcomeIfCut("the password was not changed");
    if (const int code = device.LogIn(); code != kExitOk) {
        return code;
    }
    const exchange::SequenceOutcome outcome =
        exchange::ChangePassword(device.Session(), *encoded, exchange::StopCause::kSignal);
    RecordPasswordChange(outcome, device.UsbPath(), context.err);
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

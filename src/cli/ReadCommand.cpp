#include "cli/ReadCommand.h"

#include "cli/ExitCodes.h"
#include "cli/SitesCommand.h"
#include "register/SequenceRevision.h"
#include "settings/Cp1250.h"
#include "settings/SettingsFile.h"

namespace quelvar::cli {

int RunRead(const CommandContext& context, const std::string& path) {
    // A whole read is no use if its file cannot be written afterwards.
    if (const std::string problem = settings::SaveProblem(path); !problem.empty()) {
        context.err << "Unable to write to " << path << ": " << problem << "; nothing was read\n";
        return kExitBadFile;
    }
    CommandRegister().Prepare();
    CommandDevice device(context);
    device.SetOutcomeIfCut("nothing was saved; the device is unchanged");
    settings::SettingsModel model;
    exchange::ReadAllResult read;
    if (const int code = device.ReadEverything(model, read, "; nothing saved"); code != kExitOk) {
        return code;
    }
    sites::RecordRead(CommandRegister(), model, read.modeIndex,
                      {device.UsbPath(), read.firmwareVersion.value_or(""), {}});
    SayRegisterNews(context.err);
    const settings::SettingsSaveResult saved =
        settings::SaveSettingsFile(model, read.modeIndex, path);
    if (!saved.ok) {
        context.err << saved.message << ": " << saved.reason << "\n";
        return kExitBadFile;
    }
    context.out << "Saved the communicator's settings to " << path << " ("
                << settings::ModeName(read.modeIndex) << " mode, firmware "
                << settings::Cp1250ToPrintableUtf8(read.firmwareVersion.value_or("unknown"))
                << ")\n";
    return kExitOk;
}

}  // namespace quelvar::cli

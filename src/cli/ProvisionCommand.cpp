#include "cli/ProvisionCommand.h"

#include <fstream>
#include <thread>

#include "cli/ExitCodes.h"
#include "cli/Interrupt.h"
#include "cli/SitesCommand.h"
#include "exchange/ProvisioningLine.h"
#include "register/SequenceRevision.h"
#include "settings/ValuesFile.h"

namespace quelvar::cli {

int RunProvision(link::HidPlatform& platform, const settings::SettingsFileContent& templateContent,
                 const ProvisionOptions& options, std::ostream& out, std::ostream& err) {
    using namespace std::chrono_literals;
    std::optional<settings::ValuesTable> values;
    if (options.valuesPath) {
        std::vector<std::string> problems;
        settings::ValuesReadResult read =
            settings::ReadCheckedValues(*options.valuesPath, templateContent, problems);
        if (!read.table) {
            for (const std::string& problem : problems) {
                err << problem << "\n";
            }
            return kExitBadFile;
        }
        values = std::move(read.table);
    }
    std::ofstream record;
    if (options.recordPath) {
        record.open(*options.recordPath, std::ios::binary | std::ios::trunc);
        if (!record) {
            err << "Unable to write the record " << *options.recordPath << "\n";
            return kExitBadFile;
        }
        record << exchange::LineRecordHeader() << std::flush;
    }
    CommandRegister().Prepare();
    exchange::ProvisioningLine::Options lineOptions(templateContent);
    lineOptions.values = std::move(values);
    lineOptions.count = options.count;
    lineOptions.password = options.password;
    lineOptions.newPassword = options.newPassword;
    if (!options.backup.skip) {
        lineOptions.backupFolder = options.backup.folder;
    }
    lineOptions.stopRequested = [] { return InterruptSignal() != 0; };
    exchange::ProvisioningLine::Hooks hooks;
    hooks.ended = [&](const exchange::LineDevice& device, const exchange::LineResult& result,
                      const settings::SettingsModel& readBack) {
        sites::RecordProvisioned(CommandRegister(), device.path, result, readBack);
        out << exchange::LineSentence(device, result) << "\n" << std::flush;
        if (record.is_open()) {
            record << exchange::LineRecordRow(device, result) << std::flush;
        }
    };
    exchange::ProvisioningLine line(platform, std::move(lineOptions), std::move(hooks));
    err << "Waiting for communicators (Ctrl+C ends)...\n";
    while (line.Step()) {
        std::this_thread::sleep_for(100ms);
    }
    line.Finish();  // a device under way is finished or cut (the signal stops its session)
    const std::size_t failed = line.Failed();
    const std::size_t verified = line.Done() - failed;
    if (InterruptSignal() != 0) {
        err << "Interrupted: " << verified << " communicators verified, " << failed << " not\n";
        return InterruptExitCode();
    }
    err << verified << " communicators verified, " << failed << " not\n";
    return failed > 0 ? kExitMismatch : kExitOk;
}

}  // namespace quelvar::cli

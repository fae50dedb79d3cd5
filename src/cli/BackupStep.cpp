#include "cli/BackupStep.h"

#include <cstdio>

#include "cli/ExitCodes.h"
#include "settings/BackupStore.h"

namespace quelvar::cli {

namespace {

std::string SecondsSince(std::chrono::steady_clock::time_point start) {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", seconds);
    return text;
}

}  // namespace

int BackUpBeforeWrite(const CommandContext& context, CommandDevice& device,
                      const BackupOptions& options) {
    if (options.skip) {
        return kExitOk;
    }
    const auto start = std::chrono::steady_clock::now();
    settings::SettingsModel held;
    const exchange::ReadAllResult read = device.Session().ReadEverything(held);
    if (const int code = device.FaultExit(); code != kExitOk) {
        return code;
    }
    if (!read.Complete()) {
        context.err << IncompleteReadMessage(read)
                    << " for the backup, so nothing was written; run the command again\n";
        return kExitNoDevice;
    }
    const std::string took = SecondsSince(start);
    settings::BackupStore store(options.folder);
    const settings::BackupSaveResult saved =
        store.Save(held, read.modeIndex, read.firmwareVersion.value_or(""));
    if (!saved.Saved()) {
        context.err << "Cannot write the backup of the communicator's settings: " << saved.error
                    << "; nothing was written (--no-backup writes without one)\n";
        return kExitBadFile;
    }
    if (!context.progress.Quiet()) {
        context.progress.End();
        context.err << "Read the communicator's settings in " << took << "; backup "
                    << saved.path.string() << "\n";
    }
    return kExitOk;
}

void ReportWriteTime(const CommandContext& context, std::chrono::steady_clock::time_point start) {
    if (!context.progress.Quiet()) {
        context.progress.End();
        context.err << "Wrote and verified in " << SecondsSince(start) << "\n";
    }
}

}  // namespace quelvar::cli

#include "cli/BackupStep.h"

#include <cstdio>

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

void ReportBackup(const CommandContext& context, std::chrono::steady_clock::time_point start,
                  const std::string& path) {
    if (!context.progress.Quiet()) {
        context.progress.End();
        context.err << "Read the communicator's settings in " << SecondsSince(start) << "; backup "
                    << path << "\n";
    }
}

void ReportWriteTime(const CommandContext& context, std::chrono::steady_clock::time_point start) {
    if (!context.progress.Quiet()) {
        context.progress.End();
        context.err << "Written and verified in " << SecondsSince(start) << "\n";
    }
}

}  // namespace quelvar::cli

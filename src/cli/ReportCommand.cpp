#include "cli/ReportCommand.h"

#include <chrono>
#include <ctime>

#include "cli/ExitCodes.h"
#include "settings/FileReplace.h"
#include "settings/SettingsReport.h"

namespace quelvar::cli {

namespace {

std::string Today() {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &local);
    return text;
}

}  // namespace

int RunReport(const std::string& path, const settings::SettingsFileContent& content,
              const std::string& htmlPath, std::ostream& out, std::ostream& err) {
    settings::SettingsModel model;
    settings::FillModelFromFile(content, model);
    const settings::ReportFacts facts{Today(), std::nullopt, content.ModeIndex(), std::nullopt};
    const std::string html = settings::BuildSettingsReport(model, facts);
    if (const std::string error = settings::ReplaceFileAtomically(htmlPath, html); !error.empty()) {
        err << "Unable to write to " << htmlPath << ": " << error << "\n";
        return kExitBadFile;
    }
    out << "Wrote the settings report of " << path << " to " << htmlPath << "\n";
    return kExitOk;
}

}  // namespace quelvar::cli

#include "cli/ReportCommand.h"

#include <chrono>

#include "cli/ExitCodes.h"
#include "exchange/StatusLog.h"
#include "settings/FileReplace.h"
#include "settings/SettingsReport.h"

namespace quelvar::cli {

int RunReport(const std::string& path, const settings::SettingsFileContent& content,
              const std::string& htmlPath, std::ostream& out, std::ostream& err) {
    settings::SettingsModel model;
    settings::FillModelFromFile(content, model);
    const settings::ReportFacts facts{
        exchange::LocalTimeText(std::chrono::system_clock::now(), "%Y-%m-%d"), std::nullopt,
        content.ModeIndex(), std::nullopt};
    const std::string html = settings::BuildSettingsReport(model, facts);
    if (const std::string error = settings::ReplaceFileAtomically(htmlPath, html); !error.empty()) {
        err << "Unable to write to " << htmlPath << ": " << error << "\n";
        return kExitBadFile;
    }
    out << "Wrote the settings report of " << path << " to " << htmlPath << "\n";
    return kExitOk;
}

}  // namespace quelvar::cli

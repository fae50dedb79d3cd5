#include "cli/ReportCommand.h"

#include <chrono>

#include "cli/ExitCodes.h"
#include "exchange/StatusLog.h"
#include "io/FileReplace.h"
#include "settings/SettingsCheck.h"
#include "settings/SettingsReport.h"

namespace quelvar::cli {

int RunReport(const std::string& path, const settings::SettingsFileContent& content,
              const std::string& htmlPath, bool withPin, std::ostream& out, std::ostream& err) {
    settings::SettingsModel model;
    settings::FillModelFromFile(content, model);
    settings::ReportFacts facts;
    facts.date = exchange::LocalTimeText(std::chrono::system_clock::now(), "%Y-%m-%d");
    facts.modeIndex = content.ModeIndex();
    facts.withPin = withPin;
    facts.originalValue = [&content](std::string_view key) { return content.OriginalValue(key); };
    // The report holds what a load would make of the file; what it lacks or cannot send is said
    // in the report and here.
    for (const settings::Finding& finding : settings::CheckSettingsFile(content)) {
        facts.findings.push_back(settings::FormatFinding(finding));
        err << facts.findings.back() << "\n";
    }
    const std::string html = settings::BuildSettingsReport(model, facts);
    if (const std::string error = io::ReplaceFileAtomically(htmlPath, html); !error.empty()) {
        err << "Unable to write to " << htmlPath << ": " << error << "\n";
        return kExitBadFile;
    }
    out << "Wrote the settings report of " << path << " to " << htmlPath << "\n";
    return kExitOk;
}

}  // namespace quelvar::cli

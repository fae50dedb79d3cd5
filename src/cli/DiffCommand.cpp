#include "cli/DiffCommand.h"

#include "cli/ExitCodes.h"
#include "settings/SettingsCheck.h"

namespace quelvar::cli {

namespace {

// Missing keys are left to the differences, which name them.
void PrintFindings(std::ostream& err, const settings::SettingsFileContent& content,
                   const std::string& prefix) {
    for (const settings::Finding& finding : settings::CheckSettingsFile(content)) {
        if (finding.kind != settings::FindingKind::kMissing) {
            err << prefix << settings::FormatFinding(finding) << "\n";
        }
    }
}

int Report(std::ostream& out, const settings::SettingValues& first, const std::string& firstName,
           const settings::SettingValues& second, const std::string& secondName) {
    const std::vector<settings::SettingDifference> differences =
        settings::CompareSettings(first, second);
    for (const settings::SettingDifference& difference : differences) {
        out << settings::FormatDifference(difference, firstName, secondName) << "\n";
    }
    const std::size_t all = settings::AllSettings().size();
    if (differences.empty()) {
        out << "All " << all << " settings are equal\n";
        return kExitOk;
    }
    out << differences.size() << " of " << all << " settings differ\n";
    return kExitMismatch;
}

}  // namespace

int RunDiffWithDevice(const CommandContext& context, const std::string&,
                      const settings::SettingsFileContent& content) {
    CommandDevice device(context);
    settings::SettingsModel model;
    exchange::ReadAllResult read;
    if (const int code = device.ReadEverything(model, read, ", so nothing can be compared");
        code != kExitOk) {
        return code;
    }
    PrintFindings(context.err, content, "");
    return Report(context.out, settings::ValuesOf(content), "file",
                  settings::ValuesOf(model, read.modeIndex), "device");
}

int RunDiffOfFiles(std::ostream& out, std::ostream& err, const std::string& firstPath,
                   const settings::SettingsFileContent& first, const std::string& secondPath,
                   const settings::SettingsFileContent& second) {
    PrintFindings(err, first, firstPath + ": ");
    PrintFindings(err, second, secondPath + ": ");
    return Report(out, settings::ValuesOf(first), firstPath, settings::ValuesOf(second),
                  secondPath);
}

}  // namespace quelvar::cli

#include "cli/Verify.h"

#include "exchange/DeviceSession.h"
#include "settings/Cp1250.h"

namespace quelvar::cli {

using settings::StringGrid;

namespace {

template <typename KeyOf>
void CompareGrids(const StringGrid& file, const StringGrid& device, KeyOf keyOf,
                  Comparison& comparison) {
    for (int row = file.FixedRows(); row < file.RowCount(); ++row) {
        for (int col = file.FixedCols(); col < file.ColCount(); ++col) {
            ++comparison.compared;
            const std::string written = file.Cell(col, row);
            const std::string read = device.Cell(col, row);
            if (written != read) {
                comparison.differences.push_back({keyOf(file, col, row), written, read});
            }
        }
    }
}

}  // namespace

Comparison CompareSettings(const settings::SettingsModel& file, int fileMode,
                           const settings::SettingsModel& device, int deviceMode) {
    Comparison comparison;
    for (const settings::TableId id : settings::kSettingsFileTableOrder) {
        const settings::TTableRule& written = file.Rule(id);
        const settings::TTableRule& read = device.Rule(id);
        written.ForEachRow([&](const std::string& caption, const std::string& key) {
            ++comparison.compared;
            if (written.GetValue(caption) != read.GetValue(caption)) {
                comparison.differences.push_back(
                    {key, written.GetValue(caption), read.GetValue(caption)});
            }
        });
    }
    CompareGrids(file.AlarmGrid(), device.AlarmGrid(), settings::AlarmCellKey, comparison);
    CompareGrids(file.InputGrid(), device.InputGrid(), settings::InputCellKey, comparison);
    ++comparison.compared;
    if (fileMode != deviceMode) {
        comparison.differences.push_back({std::string(settings::kModeKey),
                                          exchange::ModeText(fileMode),
                                          exchange::ModeText(deviceMode)});
    }
    return comparison;
}

std::string FormatDifference(const Difference& difference) {
    return settings::Cp1250ToUtf8(difference.key) + ": file \"" +
           settings::Cp1250ToUtf8(difference.fileValue) + "\" device \"" +
           settings::Cp1250ToUtf8(difference.deviceValue) + "\"";
}

void FillModelFromFile(const settings::SettingsFileContent& content,
                       settings::SettingsModel& model) {
    for (const settings::TableId id : settings::kSettingsFileTableOrder) {
        settings::TTableRule& table = model.Rule(id);
        table.ForEachRow([&](const std::string& caption, const std::string& key) {
            table.SetValue(caption, content.Value(key));
        });
    }
    settings::FillEventGridsFromFile(content, model);
}

}  // namespace quelvar::cli

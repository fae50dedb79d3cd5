#include "register/RevisionChanges.h"

#include <fstream>
#include <iterator>
#include <set>
#include <utility>

#include "settings/BackupStore.h"
#include "settings/SettingsCheck.h"
#include "settings/SettingsFile.h"

namespace quelvar::sites {

namespace {

// The table lines a summary shows before it only counts the rest.
constexpr std::size_t kSummaryLines = 3;

using settings::SettingGroup;
using settings::SettingPlace;

settings::SettingValues ValuesOfBytes(const std::string& bytes) {
    const settings::SettingsReadResult read = settings::ParseSettingsFile(bytes, "revision");
    if (!read.content) {
        return settings::SettingValues(settings::AllSettings().size());
    }
    return settings::ValuesOf(*read.content);
}

std::string GroupOf(const SettingPlace& place) {
    switch (place.group) {
        case SettingGroup::kTable:
            return std::string(settings::TableOf(place.table).name);
        case SettingGroup::kAlarmGrid:
            return kAlarmGroup;
        case SettingGroup::kInputGrid:
            return kInputGroup;
        case SettingGroup::kMode:
            return kModeGroup;
    }
    return {};
}

std::string Shown(const std::optional<std::string>& value) {
    if (!value) {
        return "(none)";
    }
    return value->empty() ? "(empty)" : *value;
}

// "Ügyfélkód:" reads better in a line without its colon.
std::string RowName(std::string row) {
    while (!row.empty() && (row.back() == ':' || row.back() == ' ')) {
        row.pop_back();
    }
    return row;
}

std::string Counted(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many) + " changed";
}

}  // namespace

std::vector<SettingChange> ChangesBetween(const std::optional<std::string>& before,
                                          const std::string& after) {
    if (!before) {
        return {};
    }
    const std::vector<SettingPlace>& places = settings::AllSettings();
    std::vector<SettingChange> changes;
    for (const settings::SettingDifference& difference :
         settings::CompareSettings(ValuesOfBytes(*before), ValuesOfBytes(after))) {
        const SettingPlace& place = places[difference.setting];
        const bool grid =
            place.group == SettingGroup::kAlarmGrid || place.group == SettingGroup::kInputGrid;
        changes.push_back({place.key, GroupOf(place), place.rowCaption,
                           grid ? settings::ColumnName(place) : std::string(), difference.first,
                           difference.second});
    }
    return changes;
}

std::optional<std::string> AccountIdOfSettings(const std::string& bytes) {
    const settings::SettingsReadResult read = settings::ParseSettingsFile(bytes, "revision");
    if (!read.content) {
        return std::nullopt;
    }
    return read.content->Value(settings::kAccountKey);
}

std::optional<std::string> FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return in.bad() ? std::nullopt : std::optional(std::move(bytes));
}

std::string SummaryOf(const std::vector<SettingChange>& changes) {
    std::vector<std::string> lines;
    std::size_t moreSettings = 0;
    std::set<std::string> alarmRows, inputRows;
    for (const SettingChange& change : changes) {
        if (change.group == kAlarmGroup) {
            alarmRows.insert(change.row);
        } else if (change.group == kInputGroup) {
            inputRows.insert(change.row);
        } else if (lines.size() < kSummaryLines) {
            const std::string name = change.group == kModeGroup ? "mode" : RowName(change.row);
            lines.push_back(name + ": " + Shown(change.before) + " -> " + Shown(change.after));
        } else {
            ++moreSettings;
        }
    }
    if (moreSettings > 0) {
        lines.push_back(Counted(moreSettings, "more setting", "more settings"));
    }
    if (!alarmRows.empty()) {
        lines.push_back(Counted(alarmRows.size(), "alarm event", "alarm events"));
    }
    if (!inputRows.empty()) {
        lines.push_back(Counted(inputRows.size(), "input event", "input events"));
    }
    if (lines.empty()) {
        return "no change";
    }
    std::string summary = lines.front();
    for (std::size_t i = 1; i < lines.size(); ++i) {
        summary += "; " + lines[i];
    }
    return summary;
}

}  // namespace quelvar::sites

#include "settings/SettingsCheck.h"

#include <algorithm>
#include <unordered_map>

#include "settings/AlarmTableImage.h"
#include "settings/ContactId.h"
#include "settings/Cp1250.h"
#include "settings/EventTable.h"
#include "settings/InputTableImage.h"
#include "settings/SettingsFile.h"
#include "settings/SmsText.h"

namespace quelvar::settings {

namespace {

void AddGrid(std::vector<SettingPlace>& places, const StringGrid& grid, SettingGroup group,
             std::string (*keyOf)(const StringGrid&, int, int),
             std::optional<std::string> (*fallbackOf)(const StringGrid&, int, int)) {
    for (int row = grid.FixedRows(); row < grid.RowCount(); ++row) {
        for (int col = grid.FixedCols(); col < grid.ColCount(); ++col) {
            SettingPlace place{
                keyOf(grid, col, row), group, TableId::kSimCard, col, row, grid.Cell(0, row),
                grid.Cell(col, 0),     {}};
            place.fallbackKey = fallbackOf(grid, col, row).value_or("");
            places.push_back(std::move(place));
        }
    }
}

std::vector<SettingPlace> MakeAllSettings() {
    const SettingsModel model;
    std::vector<SettingPlace> places;
    for (const TableId id : kSettingsFileTableOrder) {
        const TTableRule& table = model.Rule(id);
        const StringGrid& grid = model.Grid(id);
        table.ForEachRow([&](const std::string& caption, const std::string& key) {
            int row = grid.FixedRows();
            while (row < grid.RowCount() && grid.Cell(0, row) != caption) {
                ++row;
            }
            places.push_back({key, SettingGroup::kTable, id, 1, row, caption, {}, {}});
        });
    }
    AddGrid(places, model.AlarmGrid(), SettingGroup::kAlarmGrid, AlarmCellKey,
            AlarmCallMarkFallbackKey);
    AddGrid(places, model.InputGrid(), SettingGroup::kInputGrid, InputCellKey,
            InputCallMarkFallbackKey);
    places.push_back(
        {std::string(kModeKey), SettingGroup::kMode, TableId::kSimCard, 0, 0, {}, {}, {}});
    return places;
}

const std::unordered_map<std::string, std::size_t>& IndexByKey() {
    static const std::unordered_map<std::string, std::size_t> index = [] {
        std::unordered_map<std::string, std::size_t> byKey;
        const std::vector<SettingPlace>& places = AllSettings();
        for (std::size_t i = 0; i < places.size(); ++i) {
            byKey.emplace(IniFile::FoldedName(places[i].key), i);
        }
        return byKey;
    }();
    return index;
}

const CatalogueRow* CatalogueRowOf(const SettingPlace& place) {
    for (const CatalogueRow& row : TableOf(place.table).rows) {
        if (row.key == place.key) {
            return &row;
        }
    }
    return nullptr;
}

bool AllOf(std::string_view value, std::string_view allowed) {
    return value.find_first_not_of(allowed) == std::string_view::npos;
}

// A value between double quotes with its own quotes and backslashes escaped first, so that
// neither they nor the \xHH of a control character can be read two ways.
std::string Quoted(std::string_view cp1250) {
    std::string escaped;
    for (const char c : cp1250) {
        if (c == '"' || c == '\\') {
            escaped += '\\';
        }
        escaped += c;
    }
    return "\"" + Cp1250ToPrintableUtf8(escaped) + "\"";
}

// A rule's characters in words: "+ and digits", "hexadecimal digits (0-9, A-F)", or the
// characters themselves where they are no such set.
std::string AllowedInWords(std::string_view rule) {
    const auto holdsAll = [rule](std::string_view set) {
        return std::all_of(set.begin(), set.end(),
                           [rule](char c) { return rule.find(c) != std::string_view::npos; });
    };
    constexpr std::string_view kHex = "0123456789ABCDEFabcdef";
    if (holdsAll(kHex) && AllOf(rule, kHex)) {
        return "hexadecimal digits (0-9, A-F)";
    }
    std::string others;
    for (const char c : rule) {
        if ((c < '0' || c > '9') && others.find(c) == std::string::npos) {
            others += c;
        }
    }
    if (!holdsAll("0123456789")) {
        return std::string(rule);
    }
    return others.empty() ? "digits" : others + " and digits";
}

// The problem of a table row's value, by its row's rule; empty when there is none. An empty
// value is what the window shows for a setting the device does not hold, so it passes.
std::string TableValueProblem(const CatalogueRow& row, std::string_view value) {
    if (value.empty()) {
        return {};
    }
    const std::string_view rule = row.rule;
    if (rule.find('\n') != std::string_view::npos) {
        std::string options;
        for (std::size_t at = 0; at <= rule.size();) {
            const std::size_t end = std::min(rule.find('\n', at), rule.size());
            if (rule.substr(at, end - at) == value) {
                return {};
            }
            options += (options.empty() ? "" : ", ") + std::string(rule.substr(at, end - at));
            at = end + 1;
        }
        return "is not one of " + options;
    }
    if (!AllOf(value, rule)) {
        return "holds characters other than " + AllowedInWords(rule);
    }
    if (row.exactLength > 0 && value.size() != static_cast<std::size_t>(row.exactLength)) {
        return "is not " + std::to_string(row.exactLength) + " characters long";
    }
    if (row.maxLength > 0 && value.size() > static_cast<std::size_t>(row.maxLength)) {
        return "is longer than " + std::to_string(row.maxLength) + " characters";
    }
    return {};
}

std::string CodeProblem(std::string_view value, std::size_t length) {
    if (value.empty() || (value.size() == length && AllOf(value, kEventCodeRule))) {
        return {};
    }
    return "is not " + std::to_string(length) + " characters of * and digits";
}

std::string MarkProblem(std::string_view value) {
    return value.empty() || value == "X" ? std::string() : "is not X or empty";
}

std::string SmsProblem(std::string_view value) {
    return value.size() <= static_cast<std::size_t>(kSmsMaxLength)
               ? std::string()
               : "is longer than " + std::to_string(kSmsMaxLength) + " characters";
}

bool IsMark(int col, int firstCall, int firstSms) {
    return InMarkBlock(col, firstCall) || InMarkBlock(col, firstSms);
}

std::string AlarmCellProblem(int col, std::string_view value) {
    if (IsMark(col, kAlarmFirstCallColumn, kAlarmFirstSmsColumn)) {
        return MarkProblem(value);
    }
    switch (col) {
        case kAlarmCodeColumn:
        case kAlarmZoneColumn:
            return CodeProblem(value, 3);
        case kAlarmPartitionColumn:
            return CodeProblem(value, 2);
        case kAlarmQualifierColumn:
            return value.empty() || value == "E" || value == "R" ? std::string()
                                                                 : "is not E, R or empty";
        default:
            return SmsProblem(value);
    }
}

std::string InputCellProblem(int col, std::string_view value) {
    return IsMark(col, kInputFirstCallColumn, kInputFirstSmsColumn) ? MarkProblem(value)
                                                                    : SmsProblem(value);
}

std::string ValueProblem(const SettingPlace& place, std::string_view value) {
    switch (place.group) {
        case SettingGroup::kTable:
            if (const CatalogueRow* row = CatalogueRowOf(place)) {
                return TableValueProblem(*row, value);
            }
            return {};
        case SettingGroup::kAlarmGrid:
            return AlarmCellProblem(place.col, value);
        case SettingGroup::kInputGrid:
            return InputCellProblem(place.col, value);
        case SettingGroup::kMode:
            return value == "0" || value == "1" ? std::string() : "is not 0 or 1";
    }
    return {};
}

// Notes of what the reader passed over, each saying which value was taken instead.
void AddRepeats(const SettingsFileContent& content, std::vector<Finding>& findings) {
    for (const IniFile::Repeat& repeat : content.File().Repeats(kSettingsSection)) {
        const std::string line = std::to_string(repeat.line + 1);
        const std::string first = std::to_string(repeat.firstLine + 1);
        if (repeat.key.empty()) {
            findings.push_back({FindingKind::kRepeated,
                                "[" + std::string(kSettingsSection) + "]",
                                {},
                                "is given again on line " + line +
                                    "; the keys under it are ignored (line " + first +
                                    "'s section is read)",
                                {}});
            continue;
        }
        const std::string taken = content.Find(repeat.key).value_or("");
        findings.push_back({FindingKind::kRepeated, repeat.key, repeat.value,
                            "is given again on line " + line + " as " + Quoted(repeat.value) +
                                ", which is ignored; line " + first + "'s " + Quoted(taken) +
                                " is taken",
                            SettingIndex(repeat.key)});
    }
}

}  // namespace

const std::vector<SettingPlace>& AllSettings() {
    static const std::vector<SettingPlace> places = MakeAllSettings();
    return places;
}

std::string ColumnName(const SettingPlace& place) {
    const bool alarm = place.group == SettingGroup::kAlarmGrid;
    if (!alarm && place.group != SettingGroup::kInputGrid) {
        return place.columnHeader;
    }
    const int firstCall = alarm ? kAlarmFirstCallColumn : kInputFirstCallColumn;
    const int firstSms = alarm ? kAlarmFirstSmsColumn : kInputFirstSmsColumn;
    if (InMarkBlock(place.col, firstCall)) {
        return "Call " + place.columnHeader;
    }
    return InMarkBlock(place.col, firstSms) ? "SMS " + place.columnHeader : place.columnHeader;
}

std::optional<std::size_t> SettingIndex(std::string_view key) {
    const auto& index = IndexByKey();
    const auto found = index.find(IniFile::FoldedName(key));
    return found == index.end() ? std::nullopt : std::optional<std::size_t>(found->second);
}

SettingValues ValuesOf(const SettingsModel& model, int modeIndex) {
    SettingValues values;
    for (const SettingPlace& place : AllSettings()) {
        switch (place.group) {
            case SettingGroup::kTable:
                values.emplace_back(model.Rule(place.table).GetValue(place.rowCaption));
                break;
            case SettingGroup::kAlarmGrid:
                values.emplace_back(model.AlarmGrid().Cell(place.col, place.row));
                break;
            case SettingGroup::kInputGrid:
                values.emplace_back(model.InputGrid().Cell(place.col, place.row));
                break;
            case SettingGroup::kMode:
                values.emplace_back(ModeName(modeIndex));
                break;
        }
    }
    return values;
}

SettingValues ValuesOf(const SettingsFileContent& content) {
    SettingValues values;
    for (const SettingPlace& place : AllSettings()) {
        std::optional<std::string> value = content.Find(place.key);
        if (!value && !place.fallbackKey.empty()) {
            value = content.Find(place.fallbackKey);
        }
        // A mode other than 0 or 1 stays as the file spells it, so that no comparison takes
        // it for the mode a load would send in its place.
        if (value && place.group == SettingGroup::kMode && ValueProblem(place, *value).empty()) {
            value = ModeName(content.ModeIndex());
        }
        values.push_back(std::move(value));
    }
    return values;
}

std::vector<Finding> CheckSettingsFile(const SettingsFileContent& content) {
    std::vector<Finding> findings;
    const std::vector<SettingPlace>& places = AllSettings();
    std::vector<bool> present(places.size(), false);
    for (const IniFile::Entry& entry : content.File().Entries(kSettingsSection)) {
        const std::optional<std::size_t> setting = SettingIndex(entry.key);
        if (!setting) {
            findings.push_back({FindingKind::kUnknownKey,
                                entry.key,
                                entry.value,
                                "is not a setting of the communicator; it is ignored",
                                {}});
            continue;
        }
        present[*setting] = true;
        if (content.LineHadReplacement(entry.line)) {
            findings.push_back({FindingKind::kUnencodable, entry.key, entry.value,
                                "holds a character that Windows-1250 cannot hold", setting});
        } else if (std::string problem = ValueProblem(places[*setting], entry.value);
                   !problem.empty()) {
            findings.push_back(
                {FindingKind::kInvalid, entry.key, entry.value, std::move(problem), setting});
        }
    }
    AddRepeats(content, findings);
    for (std::size_t i = 0; i < places.size(); ++i) {
        const std::optional<std::size_t> fallback =
            places[i].fallbackKey.empty() ? std::nullopt : SettingIndex(places[i].fallbackKey);
        if (!present[i] && !(fallback && present[*fallback])) {
            findings.push_back(
                {FindingKind::kMissing, places[i].key, {}, "missing from the file", i});
        }
    }
    return findings;
}

bool HasBlockingFindings(const std::vector<Finding>& findings) {
    return std::any_of(findings.begin(), findings.end(),
                       [](const Finding& finding) { return !finding.IsNote(); });
}

std::string FormatFinding(const Finding& finding) {
    std::string line = Cp1250ToPrintableUtf8(finding.key) + ": ";
    switch (finding.kind) {
        case FindingKind::kMissing:
            return line + finding.problem;
        case FindingKind::kUnknownKey:
        case FindingKind::kRepeated:
            return "Note: " + line + finding.problem;
        case FindingKind::kInvalid:
        case FindingKind::kUnencodable:
            break;
    }
    return line + Quoted(finding.value) + " " + finding.problem;
}

void ShowWhatWasSent(SettingsModel& model, const std::vector<Finding>& findings) {
    const std::unique_ptr<StringGrid> alarms = MakeAlarmGrid();
    const std::unique_ptr<StringGrid> inputs = MakeInputGrid();
    // Through the device's images, as a load sends them.
    kAlarmTable.fill(*alarms, kAlarmTable.build(model.AlarmGrid()));
    kInputTable.fill(*inputs, kInputTable.build(model.InputGrid()));
    for (const Finding& finding : findings) {
        if (finding.kind != FindingKind::kInvalid || !finding.setting) {
            continue;
        }
        const SettingPlace& place = AllSettings()[*finding.setting];
        if (place.group == SettingGroup::kAlarmGrid) {
            model.AlarmGrid().SetCell(place.col, place.row, alarms->Cell(place.col, place.row));
        } else if (place.group == SettingGroup::kInputGrid) {
            model.InputGrid().SetCell(place.col, place.row, inputs->Cell(place.col, place.row));
        }
    }
}

std::vector<SettingDifference> CompareSettings(const SettingValues& first,
                                               const SettingValues& second) {
    std::vector<SettingDifference> differences;
    const std::size_t count = std::min(first.size(), second.size());
    for (std::size_t i = 0; i < count; ++i) {
        if (first[i] != second[i]) {
            differences.push_back({i, first[i], second[i]});
        }
    }
    return differences;
}

std::string ValueNote(std::string_view key, const std::string& value) {
    const bool code = (key.starts_with(kAlarmKeyPrefix) && key.ends_with("Code")) ||
                      key == "Z1CID" || key == "Z2CID";
    const std::string note = code                             ? ContactIdNote(value)
                             : key.ends_with("SMS \xFCzenet") ? SmsOutsideNote(value)
                                                              : std::string();
    return note.empty() ? note : " (" + note + ")";
}

std::string FormatDifference(const SettingDifference& difference, const std::string& firstName,
                             const std::string& secondName) {
    const std::string& rawKey = AllSettings().at(difference.setting).key;
    auto side = [&rawKey](const std::string& name, const std::optional<std::string>& value) {
        // "the file", "the device", but a file's own name stands alone.
        const bool word = name == "file" || name == "device";
        return value ? name + " " + Quoted(*value) + ValueNote(rawKey, *value)
                     : std::string("missing from ") + (word ? "the " : "") + name;
    };
    const std::string key = Cp1250ToPrintableUtf8(rawKey);
    const std::string first = side(firstName, difference.first);
    const std::string second = side(secondName, difference.second);
    const bool missing = !difference.first || !difference.second;
    return key + ": " + first + (missing ? ", " : " ") + second;
}

}  // namespace quelvar::settings

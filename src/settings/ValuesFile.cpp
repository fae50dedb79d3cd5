#include "settings/ValuesFile.h"

#include <fstream>
#include <iterator>
#include <set>

#include "settings/Cp1250.h"
#include "settings/SettingsCheck.h"

namespace quelvar::settings {

namespace {

// The fields of every record; false when a quoted field never ends.
bool SplitCsv(const std::string& text, std::vector<std::vector<std::string>>& records) {
    std::vector<std::string> record;
    std::string field;
    bool quoted = false;
    bool any = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
            continue;
        }
        if (c == '"') {
            quoted = true;
            any = true;
        } else if (c == ',') {
            record.push_back(std::move(field));
            field.clear();
            any = true;
        } else if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
            if (any || !field.empty()) {
                record.push_back(std::move(field));
                records.push_back(std::move(record));
            }
            record.clear();
            field.clear();
            any = false;
        } else {
            field += c;
            any = true;
        }
    }
    if (any || !field.empty()) {
        record.push_back(std::move(field));
        records.push_back(std::move(record));
    }
    return !quoted;
}

void SetValue(SettingsModel& model, const SettingPlace& place, const std::string& value) {
    switch (place.group) {
        case SettingGroup::kTable:
            model.Rule(place.table).SetValue(place.rowCaption, value);
            break;
        case SettingGroup::kAlarmGrid:
            model.AlarmGrid().SetCell(place.col, place.row, value);
            break;
        case SettingGroup::kInputGrid:
            model.InputGrid().SetCell(place.col, place.row, value);
            break;
        case SettingGroup::kMode:
            break;  // never in a values file
    }
}

}  // namespace

ValuesReadResult ParseValuesFile(const std::string& utf8, const std::string& name) {
    ValuesReadResult result;
    const std::string text = utf8.starts_with("\xEF\xBB\xBF") ? utf8.substr(3) : utf8;
    std::vector<std::vector<std::string>> records;
    if (!SplitCsv(text, records)) {
        result.error = name + ": a quoted field never ends";
        return result;
    }
    if (records.size() < 2) {
        result.error = name + ": no rows of values under the header";
        return result;
    }
    ValuesTable table;
    std::set<std::size_t> seen;
    for (const std::string& header : records[0]) {
        const std::optional<std::string> key = Cp1250FromUtf8(header);
        const std::optional<std::size_t> index = key ? SettingIndex(*key) : std::nullopt;
        if (!index || AllSettings()[*index].group == SettingGroup::kMode) {
            result.error = name + ": \"" + header + "\" is not the key of a setting";
            return result;
        }
        if (!seen.insert(*index).second) {
            result.error = name + ": \"" + header + "\" is given twice";
            return result;
        }
        table.keys.push_back(AllSettings()[*index].key);
    }
    for (std::size_t r = 1; r < records.size(); ++r) {
        if (records[r].size() != table.keys.size()) {
            result.error = name + ": line " + std::to_string(r + 1) + " has " +
                           std::to_string(records[r].size()) + " fields, the header " +
                           std::to_string(table.keys.size());
            return result;
        }
        std::vector<std::string> row;
        for (const std::string& field : records[r]) {
            const std::optional<std::string> value = Cp1250FromUtf8(field);
            if (!value) {
                result.error = name + ": line " + std::to_string(r + 1) +
                               " holds a character that Windows-1250 cannot hold";
                return result;
            }
            row.push_back(*value);
        }
        table.rows.push_back(std::move(row));
    }
    result.table = std::move(table);
    return result;
}

ValuesReadResult ReadValuesFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return {std::nullopt, "Unable to read " + path};
    }
    std::string bytes;
    bytes.resize(kMaxSettingsFileSize + 1);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    if (bytes.size() > kMaxSettingsFileSize) {
        return {std::nullopt, path + " is larger than 1 MiB"};
    }
    return ParseValuesFile(bytes, path);
}

void ApplyValuesRow(const SettingsFileContent& templateContent, const ValuesTable& values,
                    std::size_t row, SettingsModel& model) {
    FillModelFromFile(templateContent, model);
    for (std::size_t k = 0; k < values.keys.size(); ++k) {
        SetValue(model, AllSettings()[*SettingIndex(values.keys[k])], values.rows[row][k]);
    }
}

std::vector<std::string> CheckValuesRows(const SettingsFileContent& templateContent,
                                         const ValuesTable& values) {
    std::vector<std::string> lines;
    for (std::size_t row = 0; row < values.rows.size(); ++row) {
        SettingsModel model;
        ApplyValuesRow(templateContent, values, row, model);
        const std::optional<std::string> bytes =
            BuildSettingsFile("", model, templateContent.ModeIndex());
        const SettingsReadResult read =
            bytes ? ParseSettingsFile(*bytes, "row") : SettingsReadResult{};
        if (!read.content) {
            lines.push_back("row " + std::to_string(row + 2) + ": a value holds a line break");
            continue;
        }
        for (const Finding& finding : CheckSettingsFile(*read.content)) {
            if (!finding.IsNote()) {
                lines.push_back("row " + std::to_string(row + 2) + ", " + FormatFinding(finding));
            }
        }
    }
    return lines;
}

ValuesReadResult ReadCheckedValues(const std::string& path,
                                   const SettingsFileContent& templateContent,
                                   std::vector<std::string>& problems) {
    ValuesReadResult read = ReadValuesFile(path);
    if (!read.table) {
        problems.push_back(read.error);
        return read;
    }
    for (const std::string& finding : CheckValuesRows(templateContent, *read.table)) {
        problems.push_back(path + ": " + finding);
    }
    if (!problems.empty()) {
        read.table.reset();
        read.error = "Nothing was started: correct " + path;
        problems.push_back(read.error);
    }
    return read;
}

}  // namespace quelvar::settings

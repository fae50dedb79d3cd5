#pragma once
// The settings a settings file holds, checked against the catalogue before anything is sent,
// and compared setting by setting with what a model (the window, a device read) holds.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "settings/Catalogue.h"
#include "settings/SettingsFile.h"

namespace quelvar::settings {

enum class SettingGroup { kTable, kAlarmGrid, kInputGrid, kMode };

// One setting of a settings file and where the window shows it.
struct SettingPlace {
    std::string key;
    SettingGroup group = SettingGroup::kTable;
    TableId table = TableId::kSimCard;  // kTable only
    int col = 0;                        // grids: the cell
    int row = 0;                        // grids: the cell; tables: the grid row
    std::string rowCaption;             // a table row's caption, a grid row's label
    std::string columnHeader;           // grids only
    std::string fallbackKey;            // call marks: the plain key older files hold them under
};

// Every setting (467): the tables in the order of the file, the alarm and the input grid's data
// cells row by row, then "SMODE".
const std::vector<SettingPlace>& AllSettings();
// The column as a list names it: the grids' mark columns, whose headers are T1 to T4 for the
// calls and again for the SMS, as "Call T1" and "SMS T1"; other columns by their header.
std::string ColumnName(const SettingPlace& place);

// The index in AllSettings of the key (compared ignoring ASCII case); nothing for an unknown key.
std::optional<std::size_t> SettingIndex(std::string_view key);

// One value per setting of AllSettings; nothing where a file lacks the key. The mode is shown
// as "Standalone" or "Transparent".
using SettingValues = std::vector<std::optional<std::string>>;
// From a set-up model: a value for every setting. Never fails.
SettingValues ValuesOf(const SettingsModel& model, int modeIndex);
// Call marks without a key of their own take the plain key's value, as a load does. A mode other
// than 0 or 1 is given as the file spells it, never as a mode's name.
SettingValues ValuesOf(const SettingsFileContent& content);

enum class FindingKind {
    kMissing,      // the key is not in the file: a load clears the setting
    kInvalid,      // no editor of the window could have produced the value
    kUnencodable,  // the line held a character that Windows-1250 cannot hold
    kUnknownKey,   // a note only: the key is ignored
    kRepeated,     // a note only: a key or the section given again; the first one is read
};

struct Finding {
    FindingKind kind = FindingKind::kInvalid;
    std::string key;                     // as the file spells it, or the catalogue's for kMissing
    std::string value;                   // Windows-1250
    std::string problem;                 // "is not 3 characters of * and digits"
    std::optional<std::size_t> setting;  // index in AllSettings, for known keys
    bool IsNote() const {
        return kind == FindingKind::kUnknownKey || kind == FindingKind::kRepeated;
    }
};

// The findings of the file's entries in their order, then the keys and sections given again,
// then the missing settings in the order of AllSettings; empty when there is nothing to say. A file
// written by the earlier tool, without call-mark keys, lacks nothing.
std::vector<Finding> CheckSettingsFile(const SettingsFileContent& content);
// Whether any finding would block a load (notes do not).
bool HasBlockingFindings(const std::vector<Finding>& findings);
// One line in UTF-8, the value quoted and escaped as FormatDifference does: extev3Code: "1234"
// is not 3 characters of * and digits.
std::string FormatFinding(const Finding& finding);

// What a value means beside it, in UTF-8: " (Burglary)" for a Contact ID code's key, " (not in
// the GSM alphabet: ő)" for an SMS text's; empty when there is nothing to add.
std::string ValueNote(std::string_view key, const std::string& value);

// After a load of a file with findings: each event cell whose value was invalid shows what its
// table image holds, which is what was sent (a text cut to its field, say), never more. Never
// fails for findings of CheckSettingsFile (their setting indices go unchecked).
void ShowWhatWasSent(SettingsModel& model, const std::vector<Finding>& findings);

struct SettingDifference {
    std::size_t setting = 0;  // index in AllSettings
    std::optional<std::string> first;
    std::optional<std::string> second;
};
// The settings whose values differ, in the order of AllSettings. Lists of different lengths are
// compared as far as the shorter goes.
std::vector<SettingDifference> CompareSettings(const SettingValues& first,
                                               const SettingValues& second);
// UPHN1: file "+3630…" device "+3620…", or UPHN3: missing from the file, device "+3630…"; UTF-8,
// " and \ in values escaped with a \, control characters as \xHH. The names "file" and
// "device" take "the" where a side lacks the key; any other name (a file's) stands alone.
// Throws std::out_of_range for a setting outside AllSettings.
std::string FormatDifference(const SettingDifference& difference, const std::string& firstName,
                             const std::string& secondName);

}  // namespace quelvar::settings

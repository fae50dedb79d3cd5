#pragma once
// The values of a provisioning line: a CSV file whose header names settings keys as a settings
// file does ("ACCID,UPHN1,extev5SMS üzenet"), one row per device, each row set into the
// template before it is written.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "settings/Catalogue.h"
#include "settings/SettingsFile.h"

namespace quelvar::settings {

struct ValuesTable {
    std::vector<std::string> keys;               // Windows-1250, as AllSettings names them
    std::vector<std::vector<std::string>> rows;  // Windows-1250; each as long as `keys`
};

struct ValuesReadResult {
    std::optional<ValuesTable> table;
    std::string error;  // one line, when there is no table
};

// RFC 4180 in UTF-8 (a byte-order mark allowed), lines ending in CR LF or LF. Refused: a header
// naming a key that is no setting, the mode, or a key twice; a row with another number of
// fields; a character Windows-1250 cannot hold; no rows; over kMaxSettingsFileSize bytes.
ValuesReadResult ReadValuesFile(const std::string& path);
ValuesReadResult ParseValuesFile(const std::string& utf8, const std::string& name);

// The template's settings with the row's values in their places, in `model` (set up).
void ApplyValuesRow(const SettingsFileContent& templateContent, const ValuesTable& values,
                    std::size_t row, SettingsModel& model);

// Every row checked as a settings file is: "row 2, UPHN1: "+36x" is not + and digits", one line
// each in UTF-8 (rows counted as the file's lines, the header being line 1). Empty when every
// row may be written.
std::vector<std::string> CheckValuesRows(const SettingsFileContent& templateContent,
                                         const ValuesTable& values);

// The file read and every row checked, before a line starts: the table, or the lines that say
// why not (the read's error, or each finding led by the file's name and then "Nothing was
// started: correct FILE"), UTF-8.
ValuesReadResult ReadCheckedValues(const std::string& path,
                                   const SettingsFileContent& templateContent,
                                   std::vector<std::string>& problems);

}  // namespace quelvar::settings

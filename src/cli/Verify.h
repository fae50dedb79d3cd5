#pragma once
// Comparing what the device gave back with what was written: every parameter, every data cell of
// both event grids, and the operating mode.

#include <string>
#include <vector>

#include "settings/Catalogue.h"
#include "settings/SettingsFile.h"

namespace quelvar::cli {

// Key as in the settings file; values as Windows-1250 bytes.
struct Difference {
    std::string key;
    std::string fileValue;
    std::string deviceValue;
};

struct Comparison {
    std::vector<Difference> differences;
    int compared = 0;
};

// Both models set up; modes as mode indices.
Comparison CompareSettings(const settings::SettingsModel& file, int fileMode,
                           const settings::SettingsModel& device, int deviceMode);

// UPHN1: file "+3630…" device "+3620…", in UTF-8.
std::string FormatDifference(const Difference& difference);

// Fills the set-up model from the file as loading it does, but sends nothing.
void FillModelFromFile(const settings::SettingsFileContent& content,
                       settings::SettingsModel& model);

}  // namespace quelvar::cli

#pragma once
// What a revision changed, worked out once for both programs: setting by setting between two
// settings files, and in one line for a site's history.

#include <optional>
#include <string>
#include <vector>

#include "register/SiteRegister.h"

namespace quelvar::sites {

// Each setting whose value differs between the two settings files (their bytes), in the
// settings' order; with no `before`, none. A file that does not parse counts as holding nothing.
std::vector<SettingChange> ChangesBetween(const std::optional<std::string>& before,
                                          const std::string& after);

// The account ID ("ACCID") a settings file's bytes hold; nothing when they are no settings file.
std::optional<std::string> AccountIdOfSettings(const std::string& bytes);
// A whole file's bytes (a backup's); nothing when it cannot be read.
std::optional<std::string> FileBytes(const std::string& path);

// "T1: +36301234567 -> +36709876543; 3 alarm events changed", "no change"; Windows-1250.
std::string SummaryOf(const std::vector<SettingChange>& changes);

// The group names a change carries for the event grids and the mode.
inline constexpr const char* kAlarmGroup = "Alarm events";
inline constexpr const char* kInputGroup = "Input events";
inline constexpr const char* kModeGroup = "Mode";

}  // namespace quelvar::sites

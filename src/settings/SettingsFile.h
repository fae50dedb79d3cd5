#pragma once
// The settings file (am2): every value of the settings model under its key in the section "GSM"
// of an INI file, Windows-1250 bytes. Saving never leaves a half-written file; reading refuses
// files that are no settings files before anything is changed.

#include <array>
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "settings/Catalogue.h"
#include "settings/IniFile.h"
#include "settings/StringGrid.h"

namespace quelvar::settings {

inline constexpr std::string_view kSettingsSection = "GSM";
inline constexpr std::string_view kModeKey = "SMODE";
inline constexpr int kModeCount = 2;  // 0 Standalone, 1 Transparent
// The mode as the device's "SMODE" holds it: "Standalone" for 0, "Transparent" otherwise.
const char* ModeName(int modeIndex);
// The mode index of the device's "SMODE" text: exactly "Standalone" is 0, anything else 1.
int ModeIndexOfName(std::string_view name);
inline constexpr std::size_t kMaxSettingsFileSize = std::size_t{1} << 20;

// The order in which the tables' keys are saved, and loaded and sent.
inline constexpr std::array<TableId, kTableCount> kSettingsFileTableOrder = {
    TableId::kSimCard,    TableId::kZ1Settings,   TableId::kZ2Settings,
    TableId::kMonitoring, TableId::kPhoneNumbers, TableId::kSmsForwarding,
};

// Keys of the event-grid cells: the prefix, the row label (column 0), then the column header
// (row 0), joined with nothing between. Both grids head their call marks and their SMS marks
// alike ("T1" to "T4"), so the call marks put "Call" before the header; the SMS marks keep the
// plain key. A cell outside the grid gives the empty text.
inline constexpr std::string_view kAlarmKeyPrefix = "extev";
inline constexpr std::string_view kInputKeyPrefix = "intev";
inline constexpr std::string_view kCallMarkInfix = "Call";
std::string AlarmCellKey(const StringGrid& alarmGrid, int col, int row);
std::string InputCellKey(const StringGrid& inputGrid, int col, int row);
// The plain key of a call-mark cell, under which files without call-mark keys hold its value;
// nothing for any other cell.
std::optional<std::string> AlarmCallMarkFallbackKey(const StringGrid& alarmGrid, int col, int row);
std::optional<std::string> InputCallMarkFallbackKey(const StringGrid& inputGrid, int col, int row);

// What a settings file holds.
class SettingsFileContent {
  public:
    // The file must have the section; ReadSettingsFile sees to that. `replacedLines`: the lines
    // (0-based, ascending) where a character the code page cannot hold was replaced.
    // `originalLines`: those lines as the file holds them, in UTF-8 (where it was UTF-8 or -16).
    explicit SettingsFileContent(IniFile file, std::vector<std::size_t> replacedLines = {},
                                 std::map<std::size_t, std::string> originalLines = {})
        : file_(std::move(file)),
          replacedLines_(std::move(replacedLines)),
          originalLines_(std::move(originalLines)) {}

    // The key's value; nothing when the key is missing.
    std::optional<std::string> Find(std::string_view key) const;
    // The key's value; the empty text when the key is missing.
    std::string Value(std::string_view key) const;
    // The mode index: the number "SMODE" starts with, as the platform's integer reader takes
    // it; 0 when the key is missing, holds no number or names no mode.
    int ModeIndex() const;

    const IniFile& File() const { return file_; }
    bool LineHadReplacement(std::size_t line) const;
    // The key's value as the file holds it, in UTF-8, where its line had a character that
    // Windows-1250 cannot hold (and so cannot be sent as it is); nothing otherwise.
    std::optional<std::string> OriginalValue(std::string_view key) const;

  private:
    IniFile file_;
    std::vector<std::size_t> replacedLines_;
    std::map<std::size_t, std::string> originalLines_;
};

struct SettingsReadResult {
    std::optional<SettingsFileContent> content;
    std::string error;  // one line for the user, when there is no content
};

// Reads the file: Windows-1250, or UTF-8 or UTF-16 converted to it; lines end at CR LF, LF or
// CR. No content when it cannot be read, is over kMaxSettingsFileSize bytes, or has no section
// "GSM" holding at least one key of a setting; `error` then says which. A file lacking some keys
// reads, the keys missing.
SettingsReadResult ReadSettingsFile(const std::string& path);
// The same for bytes already read; `name` names them in the error.
SettingsReadResult ParseSettingsFile(std::string_view bytes, const std::string& name);

// Fills the set-up model's tables and event grids from the file as a load does, sending nothing.
// Never fails.
void FillModelFromFile(const SettingsFileContent& content, SettingsModel& model);

// Writes every data cell of rows 1 and below of both event grids from the file: missing keys
// give the empty text, a call mark without its own key the plain key's value. Labels and
// headers stay.
void FillEventGridsFromFile(const SettingsFileContent& content, SettingsModel& model);

// The file's bytes after the model's keys and "SMODE" are set into `existing` (the old file,
// empty for a new one, converted like a read), every line ending in CR LF. The model must be set
// up. Nothing when a value cannot be held in a line (it has a CR, LF or NUL), nor a key, should a
// grid's labels have been changed.
std::optional<std::string> BuildSettingsFile(std::string_view existing, const SettingsModel& model,
                                             int modeIndex);

struct SettingsSaveResult {
    bool ok = false;
    std::string message;  // "Unable to write to <path>" when not ok
    std::string reason;   // what failed, for a second line or a log
};

// Saves the set-up model and the mode index into the file, keeping whatever else an existing
// file holds. The new file is written beside the old one and replaces it in one step. Not ok,
// `reason` saying why, when the model is not set up, SaveProblem finds the existing file unfit, a
// value cannot be held in a line, the file would pass kMaxSettingsFileSize, or the write fails;
// the old file then stays as it was and nothing else is left behind.
SettingsSaveResult SaveSettingsFile(const SettingsModel& model, int modeIndex,
                                    const std::string& path);
// Why a save to the path would fail before anything is written (no file but a folder or the
// like; a file that cannot be read, is too large, holds characters Windows-1250 lacks or is
// read-only; no such folder, or one that takes no new file); empty when it can be tried.
std::string SaveProblem(const std::string& path);

}  // namespace quelvar::settings

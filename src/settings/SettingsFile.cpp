#include "settings/SettingsFile.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "settings/AlarmTableImage.h"
#include "settings/FileReplace.h"
#include "settings/InputTableImage.h"

namespace quelvar::settings {

namespace fs = std::filesystem;

namespace {

constexpr int kMarkColumns = 4;

bool IsAlarmCallMark(int col) {
    return col >= kAlarmFirstCallColumn && col < kAlarmFirstCallColumn + kMarkColumns;
}

bool IsInputCallMark(int col) {
    return col >= kInputFirstCallColumn && col < kInputFirstCallColumn + kMarkColumns;
}

std::string CellKey(std::string_view prefix, const StringGrid& grid, int col, int row,
                    bool callMark) {
    if (!grid.Contains(col, row)) {
        return {};
    }
    std::string key(prefix);
    key += grid.Cell(0, row);
    if (callMark) {
        key += kCallMarkInfix;
    }
    key += grid.Cell(col, 0);
    return key;
}

template <typename Visit>
void ForEachDataCell(const StringGrid& grid, Visit visit) {
    for (int row = grid.FixedRows(); row < grid.RowCount(); ++row) {
        for (int col = grid.FixedCols(); col < grid.ColCount(); ++col) {
            visit(col, row);
        }
    }
}

template <typename KeyOf, typename FallbackOf>
void FillGrid(const SettingsFileContent& content, StringGrid& grid, KeyOf keyOf,
              FallbackOf fallbackOf) {
    ForEachDataCell(grid, [&](int col, int row) {
        std::optional<std::string> value = content.Find(keyOf(grid, col, row));
        if (!value) {
            if (const std::optional<std::string> plain = fallbackOf(grid, col, row)) {
                value = content.Find(*plain);
            }
        }
        grid.SetCell(col, row, value.value_or(std::string()));
    });
}

enum class ReadOutcome { kRead, kUnreadable, kTooLarge };

// The size the file system claims is only a first test: the read itself stops one byte past the
// limit, so a file that grows meanwhile cannot slip through.
ReadOutcome ReadCapped(const fs::path& path, std::size_t limit, std::string& bytes) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) {
        return ReadOutcome::kUnreadable;
    }
    const std::uintmax_t claimed = fs::file_size(path, ec);
    if (!ec && claimed > limit) {
        return ReadOutcome::kTooLarge;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return ReadOutcome::kUnreadable;
    }
    bytes.assign(limit + 1, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (in.bad()) {
        return ReadOutcome::kUnreadable;
    }
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes.size() > limit ? ReadOutcome::kTooLarge : ReadOutcome::kRead;
}

std::optional<std::string> Build(std::string_view existing, const SettingsModel& model,
                                 int modeIndex, std::string* failedKey) {
    IniFile file = IniFile::Parse(existing);
    bool ok = true;
    auto put = [&](const std::string& key, const std::string& value) {
        if (ok && !file.Set(kSettingsSection, key, value)) {
            ok = false;
            if (failedKey != nullptr) {
                *failedKey = key;
            }
        }
    };
    for (const TableId id : kSettingsFileTableOrder) {
        const TTableRule& table = model.Rule(id);
        table.ForEachRow([&](const std::string& caption, const std::string& key) {
            put(key, table.GetValue(caption));
        });
    }
    const StringGrid& alarms = model.AlarmGrid();
    ForEachDataCell(alarms, [&](int col, int row) {
        put(AlarmCellKey(alarms, col, row), alarms.Cell(col, row));
    });
    const StringGrid& inputs = model.InputGrid();
    ForEachDataCell(inputs, [&](int col, int row) {
        put(InputCellKey(inputs, col, row), inputs.Cell(col, row));
    });
    put(std::string(kModeKey), std::to_string(modeIndex));
    if (!ok) {
        return std::nullopt;
    }
    return file.Serialise();
}

}  // namespace

std::string AlarmCellKey(const StringGrid& alarmGrid, int col, int row) {
    return CellKey(kAlarmKeyPrefix, alarmGrid, col, row, IsAlarmCallMark(col));
}

std::string InputCellKey(const StringGrid& inputGrid, int col, int row) {
    return CellKey(kInputKeyPrefix, inputGrid, col, row, IsInputCallMark(col));
}

std::optional<std::string> AlarmCallMarkFallbackKey(const StringGrid& alarmGrid, int col, int row) {
    if (!IsAlarmCallMark(col) || !alarmGrid.Contains(col, row)) {
        return std::nullopt;
    }
    return CellKey(kAlarmKeyPrefix, alarmGrid, col, row, false);
}

std::optional<std::string> InputCallMarkFallbackKey(const StringGrid& inputGrid, int col, int row) {
    if (!IsInputCallMark(col) || !inputGrid.Contains(col, row)) {
        return std::nullopt;
    }
    return CellKey(kInputKeyPrefix, inputGrid, col, row, false);
}

std::optional<std::string> SettingsFileContent::Find(std::string_view key) const {
    return file_.Get(kSettingsSection, key);
}

std::string SettingsFileContent::Value(std::string_view key) const {
    return Find(key).value_or(std::string());
}

int SettingsFileContent::ModeIndex() const {
    const std::string text = Value(kModeKey);
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int value = 0;
    bool digits = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        digits = true;
        if (value >= kModeCount) {
            return 0;  // no such mode, however it goes on
        }
    }
    if (!digits || (negative && value != 0)) {
        return 0;
    }
    return value;
}

SettingsReadResult ReadSettingsFile(const std::string& path) {
    SettingsReadResult result;
    std::string bytes;
    switch (ReadCapped(fs::path(path), kMaxSettingsFileSize, bytes)) {
        case ReadOutcome::kUnreadable:
            result.error = "Unable to read " + path;
            return result;
        case ReadOutcome::kTooLarge:
            result.error = path + " is not a settings file: it is larger than 1 MiB";
            return result;
        case ReadOutcome::kRead:
            break;
    }
    IniFile file = IniFile::Parse(bytes);
    if (!file.HasSection(kSettingsSection)) {
        result.error = path + " is not a settings file: it has no [GSM] section";
        return result;
    }
    result.content.emplace(std::move(file));
    return result;
}

void FillEventGridsFromFile(const SettingsFileContent& content, SettingsModel& model) {
    FillGrid(content, model.AlarmGrid(), AlarmCellKey, AlarmCallMarkFallbackKey);
    FillGrid(content, model.InputGrid(), InputCellKey, InputCallMarkFallbackKey);
}

std::optional<std::string> BuildSettingsFile(std::string_view existing, const SettingsModel& model,
                                             int modeIndex) {
    return Build(existing, model, modeIndex, nullptr);
}

SettingsSaveResult SaveSettingsFile(const SettingsModel& model, int modeIndex,
                                    const std::string& path) {
    SettingsSaveResult result;
    auto fail = [&](std::string reason) {
        result.message = "Unable to write to " + path;
        result.reason = std::move(reason);
        return result;
    };
    if (!model.IsSetUp()) {
        return fail("the settings are not set up yet");
    }
    fs::path target(path);
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(target, ec))) {
        // Replacing the link itself would cut it off from the file it names.
        if (fs::path resolved = fs::canonical(target, ec); !ec) {
            target = std::move(resolved);
        }
    }
    std::string existing;
    std::optional<fs::perms> permissions;
    const fs::file_status status = fs::status(target, ec);
    if (fs::exists(status)) {
        if (!fs::is_regular_file(status)) {
            return fail("it is not a file");
        }
        switch (ReadCapped(target, kMaxSettingsFileSize, existing)) {
            case ReadOutcome::kUnreadable:
                return fail("the file there cannot be read, so its other content would be lost");
            case ReadOutcome::kTooLarge:
                return fail("the file there is larger than 1 MiB, too large for a settings file");
            case ReadOutcome::kRead:
                break;
        }
        // A rename would replace a file its owner made read-only; the platform's writer refuses.
        if (std::FILE* probe = std::fopen(target.string().c_str(), "r+b")) {
            std::fclose(probe);
        } else {
            return fail("the file is read-only");
        }
        permissions = status.permissions();
    }
    std::string failedKey;
    const std::optional<std::string> bytes = Build(existing, model, modeIndex, &failedKey);
    if (!bytes) {
        return fail("the value of " + failedKey + " cannot be held in one line");
    }
    if (std::string error = ReplaceFileAtomically(target, *bytes, permissions); !error.empty()) {
        return fail(std::move(error));
    }
    result.ok = true;
    return result;
}

}  // namespace quelvar::settings

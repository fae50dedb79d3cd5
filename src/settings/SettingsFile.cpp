#include "settings/SettingsFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "io/FileReplace.h"
#include "settings/AlarmTableImage.h"
#include "settings/InputTableImage.h"
#include "settings/SettingsCheck.h"
#include "settings/TextDecoding.h"

namespace quelvar::settings {

namespace fs = std::filesystem;

namespace {

bool IsAlarmCallMark(int col) {
    return InMarkBlock(col, kAlarmFirstCallColumn);
}

bool IsInputCallMark(int col) {
    return InMarkBlock(col, kInputFirstCallColumn);
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

std::string UnreadableReason(const fs::path& path) {
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (!fs::exists(status)) {
        return "there is no such file";
    }
    if (fs::is_directory(status)) {
        return "it is a folder";
    }
    if (!fs::is_regular_file(status)) {
        return "it is not a file";
    }
    return "it cannot be opened (no permission?)";
}

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

// The 0-based lines, by the reader's line ends, that hold the offsets (ascending).
std::vector<std::size_t> LinesOf(std::string_view text, const std::vector<std::size_t>& offsets) {
    std::vector<std::size_t> lines;
    std::size_t line = 0;
    std::size_t at = 0;
    for (const std::size_t offset : offsets) {
        for (; at < offset && at < text.size(); ++at) {
            const bool crlf = text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n';
            if (text[at] == '\n' || (text[at] == '\r' && !crlf)) {
                ++line;
            }
        }
        if (lines.empty() || lines.back() != line) {
            lines.push_back(line);
        }
    }
    return lines;
}

// The lines of the text at the given line numbers, ends dropped; lines end as IniFile's do.
std::map<std::size_t, std::string> TextOfLines(std::string_view text,
                                               const std::vector<std::size_t>& wanted) {
    std::map<std::size_t, std::string> lines;
    std::size_t line = 0;
    std::size_t start = 0;
    for (std::size_t at = 0; at <= text.size(); ++at) {
        const bool end = at == text.size() || text[at] == '\n' || text[at] == '\r';
        if (!end) {
            continue;
        }
        if (std::binary_search(wanted.begin(), wanted.end(), line)) {
            lines[line] = std::string(text.substr(start, at - start));
        }
        if (at + 1 < text.size() && text[at] == '\r' && text[at + 1] == '\n') {
            ++at;
        }
        ++line;
        start = at + 1;
    }
    return lines;
}

bool HoldsASetting(const IniFile& file) {
    for (const IniFile::Entry& entry : file.Entries(kSettingsSection)) {
        if (SettingIndex(entry.key)) {
            return true;
        }
    }
    return false;
}

std::optional<std::string> Build(std::string_view existing, const SettingsModel& model,
                                 int modeIndex, std::string* failedKey) {
    IniFile file = IniFile::Parse(DecodeSettingsText(existing).bytes);
    std::vector<IniFile::KeyValue> entries;
    for (const TableId id : kSettingsFileTableOrder) {
        const TTableRule& table = model.Rule(id);
        table.ForEachRow([&](const std::string& caption, const std::string& key) {
            entries.emplace_back(key, table.GetValue(caption));
        });
    }
    const StringGrid& alarms = model.AlarmGrid();
    ForEachDataCell(alarms, [&](int col, int row) {
        entries.emplace_back(AlarmCellKey(alarms, col, row), alarms.Cell(col, row));
    });
    const StringGrid& inputs = model.InputGrid();
    ForEachDataCell(inputs, [&](int col, int row) {
        entries.emplace_back(InputCellKey(inputs, col, row), inputs.Cell(col, row));
    });
    entries.emplace_back(std::string(kModeKey), std::to_string(modeIndex));
    std::size_t failed = 0;
    if (!file.SetAll(kSettingsSection, entries, &failed)) {
        if (failedKey != nullptr) {
            *failedKey = failed < entries.size() ? entries[failed].first : std::string();
        }
        return std::nullopt;
    }
    file.UseCrLfEndings();
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

const char* ModeName(int modeIndex) {
    return modeIndex == 0 ? "Standalone" : "Transparent";
}

int ModeIndexOfName(std::string_view name) {
    return name == ModeName(0) ? 0 : 1;
}

bool SettingsFileContent::LineHadReplacement(std::size_t line) const {
    return std::binary_search(replacedLines_.begin(), replacedLines_.end(), line);
}

std::optional<std::string> SettingsFileContent::OriginalValue(std::string_view key) const {
    const std::string folded = IniFile::FoldedName(key);
    for (const IniFile::Entry& entry : file_.Entries(kSettingsSection)) {
        const auto original = originalLines_.find(entry.line);
        if (IniFile::FoldedName(entry.key) != folded || original == originalLines_.end()) {
            continue;
        }
        // The value as Get reads it: after the first "=", blanks dropped, one pair of quotes.
        const std::string& line = original->second;
        const std::size_t equals = line.find('=');
        std::string_view value =
            std::string_view(line).substr(equals == std::string::npos ? line.size() : equals + 1);
        const auto blank = [](char c) { return c == ' ' || c == '\t'; };
        while (!value.empty() && blank(value.front())) {
            value.remove_prefix(1);
        }
        while (!value.empty() && blank(value.back())) {
            value.remove_suffix(1);
        }
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front()) {
            value = value.substr(1, value.size() - 2);
        }
        return std::string(value);
    }
    return std::nullopt;
}

SettingsReadResult ReadSettingsFile(const std::string& path) {
    std::string bytes;
    switch (ReadCapped(fs::path(path), kMaxSettingsFileSize, bytes)) {
        case ReadOutcome::kUnreadable:
            return {std::nullopt, "Unable to read " + path + ": " + UnreadableReason(path)};
        case ReadOutcome::kTooLarge:
            return {std::nullopt, path + " is not a settings file: it is larger than 1 MiB"};
        case ReadOutcome::kRead:
            break;
    }
    return ParseSettingsFile(bytes, path);
}

SettingsReadResult ParseSettingsFile(std::string_view bytes, const std::string& name) {
    SettingsReadResult result;
    DecodedText text = DecodeSettingsText(bytes);
    IniFile file = IniFile::Parse(text.bytes);
    if (!file.HasSection(kSettingsSection)) {
        result.error = name + " is not a settings file: it has no [GSM] section";
        return result;
    }
    // A bare header, or random bytes that happen to hold one, must not clear a device.
    if (!HoldsASetting(file)) {
        result.error = name + " is not a settings file: its [GSM] section holds no setting";
        return result;
    }
    std::vector<std::size_t> replacedLines = LinesOf(text.bytes, text.replaced);
    std::map<std::size_t, std::string> originals = TextOfLines(text.utf8, replacedLines);
    result.content.emplace(std::move(file), std::move(replacedLines), std::move(originals));
    return result;
}

void FillModelFromFile(const SettingsFileContent& content, SettingsModel& model) {
    for (const TableId id : kSettingsFileTableOrder) {
        TTableRule& table = model.Rule(id);
        table.ForEachRow([&](const std::string& caption, const std::string& key) {
            table.SetValue(caption, content.Value(key));
        });
    }
    FillEventGridsFromFile(content, model);
}

void FillEventGridsFromFile(const SettingsFileContent& content, SettingsModel& model) {
    FillGrid(content, model.AlarmGrid(), AlarmCellKey, AlarmCallMarkFallbackKey);
    FillGrid(content, model.InputGrid(), InputCellKey, InputCallMarkFallbackKey);
}

std::optional<std::string> BuildSettingsFile(std::string_view existing, const SettingsModel& model,
                                             int modeIndex) {
    return Build(existing, model, modeIndex, nullptr);
}

namespace {

// Why an existing file at the (link-resolved) target cannot be saved into; empty when it can.
// `existing` receives its bytes.
std::string ExistingFileProblem(const fs::path& target, std::string& existing) {
    std::error_code ec;
    const fs::file_status status = fs::status(target, ec);
    if (!fs::exists(status)) {
        return {};
    }
    if (!fs::is_regular_file(status)) {
        return "it is not a file";
    }
    switch (ReadCapped(target, kMaxSettingsFileSize, existing)) {
        case ReadOutcome::kUnreadable:
            return "the file there cannot be read, so its other content would be lost";
        case ReadOutcome::kTooLarge:
            return "the file there is larger than 1 MiB, too large for a settings file";
        case ReadOutcome::kRead:
            break;
    }
    // What the new file keeps of the old one is written in Windows-1250: a character that it
    // cannot hold would be lost without a word.
    const DecodedText decoded = DecodeSettingsText(existing);
    if (!decoded.replaced.empty()) {
        return "the file holds characters that Windows-1250 cannot hold (line " +
               std::to_string(LinesOf(decoded.bytes, decoded.replaced).front() + 1) +
               "); they would be lost";
    }
    // A rename would replace a file its owner made read-only; the platform's writer refuses.
    if (std::FILE* probe = std::fopen(target.string().c_str(), "r+b")) {
        std::fclose(probe);
        return {};
    }
    return "the file is read-only";
}

}  // namespace

std::string SaveProblem(const std::string& path) {
    const fs::path target = io::ResolveLinks(fs::path(path));
    std::string existing;
    if (std::string problem = ExistingFileProblem(target, existing); !problem.empty()) {
        return problem;
    }
    std::error_code ec;
    if (fs::exists(target, ec)) {
        return {};
    }
    fs::path folder = target.parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    if (!fs::is_directory(folder, ec)) {
        return "there is no folder " + folder.string();
    }
    // Only a real file tells whether the folder takes new files; a name of its own, so that no
    // file left behind can stand in the way.
    // A short name, since the target's own name may leave no room for more.
    const fs::path probe = folder / (".qg-" + std::to_string(std::random_device{}()) + ".probe");
    if (fs::exists(probe, ec)) {
        return {};
    }
    errno = 0;
    if (std::FILE* file = std::fopen(probe.string().c_str(), "wb")) {
        std::fclose(file);
        fs::remove(probe, ec);
        return {};
    }
    const int cause = errno;
    return "no new file can be created in its folder" +
           (cause != 0 ? " (" + std::string(std::strerror(cause)) + ")" : std::string());
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
    const fs::path target = io::ResolveLinks(fs::path(path));
    std::string existing;
    if (std::string problem = ExistingFileProblem(target, existing); !problem.empty()) {
        return fail(std::move(problem));
    }
    std::string failedKey;
    const std::optional<std::string> bytes = Build(existing, model, modeIndex, &failedKey);
    if (!bytes) {
        return fail("the value of " + failedKey + " cannot be held in one line");
    }
    // What the reader refuses is never written: the old file's other lines and the settings
    // together may pass the bound that neither passes alone.
    if (bytes->size() > kMaxSettingsFileSize) {
        return fail("with the settings added the file would be " + std::to_string(bytes->size()) +
                    " bytes, larger than the 1 MiB a settings file may be; the file was kept as "
                    "it was");
    }
    if (std::string error = io::ReplaceFileAtomically(target, *bytes); !error.empty()) {
        return fail(std::move(error));
    }
    result.ok = true;
    return result;
}

}  // namespace quelvar::settings

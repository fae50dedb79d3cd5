// The settings-file reader on any bytes a user might open: the INI parse, the check for the
// section, the lookups a load makes, and a save into that same file, which must hold the model's
// values afterwards and keep its own content.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "settings/Catalogue.h"
#include "settings/IniFile.h"
#include "settings/SettingsCheck.h"
#include "settings/SettingsFile.h"
#include "settings/StringGrid.h"
#include "settings/TextDecoding.h"

namespace {

namespace settings = quelvar::settings;

// One file for the whole run, so every input also goes through the reader's own file path.
class ScratchFile {
  public:
    ScratchFile() {
        char name[] = "/tmp/quelvar-fuzz-XXXXXX";
        const int fd = mkstemp(name);
        FUZZ_CHECK(fd >= 0);
        close(fd);
        path_ = name;
    }
    ~ScratchFile() { unlink(path_.c_str()); }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    const std::string& Write(std::string_view bytes) {
        std::ofstream(path_, std::ios::binary | std::ios::trunc)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return path_;
    }

  private:
    std::string path_;
};

// The section the tool reads, worked out here from the rules the reader documents, in one pass:
// lines end at CR LF, LF or a CR alone; after leading blanks ";" starts a
// comment, "[name]" a section, and a line with "=" is an entry; names compare without blanks at
// their edges and without regard to ASCII case; the first section and the first key count; a
// value loses its edge blanks and then one pair of enclosing quotes.
class ReferenceReader {
  public:
    explicit ReferenceReader(std::string_view bytes) {
        enum class State { kBefore, kInside, kAfter } state = State::kBefore;
        while (!bytes.empty() && state != State::kAfter) {
            const std::size_t end = bytes.find_first_of("\r\n");
            const std::string_view line = bytes.substr(0, end);
            std::size_t next = end == std::string_view::npos ? bytes.size() : end + 1;
            if (end != std::string_view::npos && bytes.substr(end, 2) == "\r\n") {
                ++next;
            }
            bytes.remove_prefix(next);
            const std::string_view content = Trim(line);
            if (content.empty() || content.front() == ';') {
                continue;
            }
            if (content.front() == '[' && content.find(']') != std::string_view::npos) {
                const std::string name = Fold(Trim(content.substr(1, content.find(']') - 1)));
                if (state == State::kInside) {
                    state = State::kAfter;
                } else if (name == Fold(settings::kSettingsSection)) {
                    state = State::kInside;
                    found_ = true;
                }
                continue;
            }
            const std::size_t equals = content.find('=');
            if (state == State::kInside && equals != std::string_view::npos) {
                std::string_view value = Trim(content.substr(equals + 1));
                if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                    value.back() == value.front()) {
                    value = value.substr(1, value.size() - 2);
                }
                const std::string_view key = Trim(content.substr(0, equals));
                values_.emplace(Fold(key), std::string(value));
                holdsSetting_ = holdsSetting_ || settings::SettingIndex(key).has_value();
            }
        }
    }

    bool HasSection() const { return found_; }
    bool HoldsSetting() const { return holdsSetting_; }
    std::optional<std::string> Find(std::string_view key) const {
        const auto it = values_.find(Fold(Trim(key)));
        return it == values_.end() ? std::nullopt : std::optional(it->second);
    }

  private:
    static std::string_view Trim(std::string_view text) {
        const auto blank = [](char c) { return c == ' ' || c == '\t'; };
        while (!text.empty() && blank(text.front())) {
            text.remove_prefix(1);
        }
        while (!text.empty() && blank(text.back())) {
            text.remove_suffix(1);
        }
        return text;
    }
    static std::string Fold(std::string_view text) {
        std::string folded(text);
        for (char& c : folded) {
            if (c >= 'A' && c <= 'Z') {
                c = static_cast<char>(c - 'A' + 'a');
            }
        }
        return folded;
    }

    bool found_ = false;
    bool holdsSetting_ = false;
    std::map<std::string, std::string> values_;  // emplace keeps the first of a key
};

bool BreaksLine(const std::string& value) {
    return value.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos;
}

template <typename Visit>
void ForEachDataCell(const settings::StringGrid& grid, Visit visit) {
    for (int row = grid.FixedRows(); row < grid.RowCount(); ++row) {
        for (int col = grid.FixedCols(); col < grid.ColCount(); ++col) {
            visit(col, row);
        }
    }
}

// Every saved value with its key: the table rows, then both event grids.
template <typename Visit>
void ForEachSavedValue(const settings::SettingsModel& model, Visit visit) {
    for (const settings::TableId id : settings::kSettingsFileTableOrder) {
        const settings::TTableRule& table = model.Rule(id);
        table.ForEachRow([&](const std::string& caption, const std::string& key) {
            visit(key, table.GetValue(caption));
        });
    }
    const settings::StringGrid& alarms = model.AlarmGrid();
    ForEachDataCell(alarms, [&](int col, int row) {
        visit(settings::AlarmCellKey(alarms, col, row), alarms.Cell(col, row));
    });
    const settings::StringGrid& inputs = model.InputGrid();
    ForEachDataCell(inputs, [&](int col, int row) {
        visit(settings::InputCellKey(inputs, col, row), inputs.Cell(col, row));
    });
}

// What a load does with the content, checked cell by cell against the reference reading.
void Load(const settings::SettingsFileContent& content, const ReferenceReader& reference,
          settings::SettingsModel& model) {
    const int mode = content.ModeIndex();
    FUZZ_CHECK(mode >= 0 && mode < settings::kModeCount);
    for (const settings::TableId id : settings::kSettingsFileTableOrder) {
        settings::TTableRule& table = model.Rule(id);
        table.ForEachRow([&](const std::string& caption, const std::string& key) {
            const std::string value = content.Value(key);
            FUZZ_CHECK(value == reference.Find(key).value_or(""));
            table.SetValue(caption, value);
            FUZZ_CHECK(table.GetValue(caption) == value);
        });
    }
    settings::FillEventGridsFromFile(content, model);
    const auto check = [&](const settings::StringGrid& grid, auto keyOf, auto fallbackOf) {
        ForEachDataCell(grid, [&](int col, int row) {
            std::optional<std::string> expected = reference.Find(keyOf(grid, col, row));
            if (!expected) {
                if (const std::optional<std::string> plain = fallbackOf(grid, col, row)) {
                    expected = reference.Find(*plain);
                }
            }
            FUZZ_CHECK(grid.Cell(col, row) == expected.value_or(""));
        });
    };
    check(model.AlarmGrid(), settings::AlarmCellKey, settings::AlarmCallMarkFallbackKey);
    check(model.InputGrid(), settings::InputCellKey, settings::InputCallMarkFallbackKey);
}

void Save(std::string_view existing, const settings::SettingsModel& model, int mode) {
    const std::optional<std::string> saved = settings::BuildSettingsFile(existing, model, mode);
    bool holdable = true;
    ForEachSavedValue(model, [&](const std::string&, const std::string& value) {
        holdable = holdable && !BreaksLine(value);
    });
    FUZZ_CHECK(saved.has_value() == holdable);
    if (!saved) {
        return;
    }
    const ReferenceReader reread(settings::DecodeSettingsText(*saved).bytes);
    FUZZ_CHECK(reread.HasSection());
    FUZZ_CHECK(reread.Find(settings::kModeKey) == std::to_string(mode));
    FUZZ_CHECK(settings::SettingsFileContent(settings::IniFile::Parse(*saved)).ModeIndex() == mode);
    FUZZ_CHECK(saved->find_first_of("\r\n") == std::string::npos ||
               saved->find("\n") == saved->find("\r") + 1);
    ForEachSavedValue(model, [&](const std::string& key, const std::string& value) {
        FUZZ_CHECK(reread.Find(key) == value);
    });
    // Saving what was just saved changes nothing: no line is added twice or moved. (A saved
    // file that happens to begin with the bytes of a byte-order mark reads as another encoding.)
    if (settings::DecodeSettingsText(*saved).encoding == settings::TextEncoding::kWindows1250) {
        FUZZ_CHECK(settings::BuildSettingsFile(*saved, model, mode) == saved);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static ScratchFile scratch;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    const settings::IniFile parsed = settings::IniFile::Parse(bytes);
    FUZZ_CHECK(parsed.Serialise() == bytes);
    const settings::DecodedText decoded = settings::DecodeSettingsText(bytes);
    const ReferenceReader reference(decoded.bytes);
    FUZZ_CHECK(reference.HasSection() ==
               settings::IniFile::Parse(decoded.bytes).HasSection(settings::kSettingsSection));

    settings::SettingsReadResult read = settings::ReadSettingsFile(scratch.Write(bytes));
    FUZZ_CHECK(read.content.has_value() == (reference.HasSection() && reference.HoldsSetting()));
    FUZZ_CHECK(read.content.has_value() == read.error.empty());

    settings::SettingsModel model;
    int mode = 0;
    if (read.content) {
        FUZZ_CHECK(read.content->File().Serialise() == decoded.bytes);
        settings::CheckSettingsFile(*read.content);
        Load(*read.content, reference, model);
        mode = read.content->ModeIndex();
    }
    Save(bytes, model, mode == 0 ? 1 : 0);
    return 0;
}

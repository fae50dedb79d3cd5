#include "settings/IniFile.h"

#include <algorithm>

namespace quelvar::settings {

namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::size_t kNone = std::string_view::npos;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

char FoldAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Only ASCII is folded: the platform's folding of the other bytes depends on the system locale,
// and our own keys differ in their ASCII letters anyway.
bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return FoldAscii(x) == FoldAscii(y);
           });
}

bool IsQuote(char c) {
    return c == '"' || c == '\'';
}

bool EnclosedInQuotes(std::string_view text) {
    return text.size() >= 2 && IsQuote(text.front()) && text.back() == text.front();
}

bool BreaksLine(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != kNone;
}

// A line that another is put after must end in a line feed, or the reader joins the two.
void EndWithLineFeed(std::string& ending) {
    if (ending.empty() || ending.back() != '\n') {
        ending = kCrLf;
    }
}

bool HasEdgeBlank(std::string_view text) {
    return !text.empty() && (IsBlank(text.front()) || IsBlank(text.back()));
}

bool ValidSectionName(std::string_view name) {
    return !name.empty() && !HasEdgeBlank(name) && !BreaksLine(name) && name.find(']') == kNone;
}

bool ValidKey(std::string_view key) {
    return !key.empty() && !HasEdgeBlank(key) && !BreaksLine(key) && key.find('=') == kNone &&
           key.front() != '[' && key.front() != ';';
}

// The reader drops edge blanks and one pair of enclosing quotes; a value that would lose either
// is protected by a pair of its own.
std::string Encode(std::string_view value) {
    if (HasEdgeBlank(value) || EnclosedInQuotes(value)) {
        return "\"" + std::string(value) + "\"";
    }
    return std::string(value);
}

std::string_view Decode(std::string_view raw) {
    std::string_view value = Trim(raw);
    if (EnclosedInQuotes(value)) {
        value = value.substr(1, value.size() - 2);
    }
    return value;
}

}  // namespace

IniFile::Line IniFile::MakeLine(std::string text, std::string ending) {
    Line line{std::move(text), std::move(ending), LineKind::kOther, {}};
    const std::string_view content = Trim(line.text);
    if (content.empty()) {
        return line;
    }
    if (content.front() == ';') {
        line.kind = LineKind::kComment;
        return line;
    }
    if (content.front() == '[') {
        const std::size_t close = content.find(']');
        if (close != kNone) {
            line.kind = LineKind::kSection;
            line.name = std::string(Trim(content.substr(1, close - 1)));
            return line;
        }
        // Without its "]" it is no header; it may still be an entry.
    }
    const std::size_t equals = content.find('=');
    if (equals != kNone) {
        line.kind = LineKind::kEntry;
        line.name = std::string(Trim(content.substr(0, equals)));
    }
    return line;
}

IniFile IniFile::Parse(std::string_view bytes) {
    IniFile file;
    while (!bytes.empty()) {
        const std::size_t end = bytes.find_first_of("\r\n");
        const std::string_view text = end == kNone ? bytes : bytes.substr(0, end);
        std::size_t endingSize = 0;
        if (end != kNone) {
            endingSize =
                bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n' ? 2 : 1;
        }
        const std::string_view ending = bytes.substr(text.size(), endingSize);
        file.lines_.push_back(MakeLine(std::string(text), std::string(ending)));
        bytes.remove_prefix(text.size() + endingSize);
    }
    return file;
}

std::string IniFile::Serialise() const {
    std::string bytes;
    for (const Line& line : lines_) {
        bytes += line.text;
        bytes += line.ending;
    }
    return bytes;
}

void IniFile::UseCrLfEndings() {
    for (Line& line : lines_) {
        line.ending = kCrLf;
    }
}

std::size_t IniFile::FindSection(std::string_view section) const {
    const std::string_view name = Trim(section);
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].kind == LineKind::kSection && EqualIgnoringAsciiCase(lines_[i].name, name)) {
            return i;
        }
    }
    return kNone;
}

std::size_t IniFile::SectionEnd(std::size_t header) const {
    std::size_t i = header + 1;
    while (i < lines_.size() && lines_[i].kind != LineKind::kSection) {
        ++i;
    }
    return i;
}

bool IniFile::HasSection(std::string_view section) const {
    return FindSection(section) != kNone;
}

namespace {

std::string Folded(std::string_view text) {
    std::string folded(Trim(text));
    std::transform(folded.begin(), folded.end(), folded.begin(), FoldAscii);
    return folded;
}

}  // namespace

std::string IniFile::FoldedName(std::string_view name) {
    return Folded(name);
}

const IniFile::SectionIndex* IniFile::IndexOf(std::string_view section) const {
    const std::string name = Folded(section);
    if (index_ && index_->section == name) {
        return &*index_;
    }
    const std::size_t header = FindSection(section);
    if (header == kNone) {
        return nullptr;
    }
    SectionIndex index{name, header, {}};
    const std::size_t end = SectionEnd(header);
    for (std::size_t i = header + 1; i < end; ++i) {
        if (lines_[i].kind == LineKind::kEntry) {
            index.entries.try_emplace(Folded(lines_[i].name), i);  // the first one wins
        }
    }
    index_ = std::move(index);
    return &*index_;
}

std::optional<std::string> IniFile::Get(std::string_view section, std::string_view key) const {
    const SectionIndex* index = IndexOf(section);
    if (index == nullptr) {
        return std::nullopt;
    }
    const auto found = index->entries.find(Folded(key));
    if (found == index->entries.end()) {
        return std::nullopt;
    }
    const std::size_t entry = found->second;
    const std::string& text = lines_[entry].text;
    return std::string(Decode(std::string_view(text).substr(text.find('=') + 1)));
}

std::vector<IniFile::Entry> IniFile::Entries(std::string_view section) const {
    std::vector<Entry> entries;
    const SectionIndex* index = IndexOf(section);
    if (index == nullptr) {
        return entries;
    }
    const std::size_t end = SectionEnd(index->header);
    for (std::size_t i = index->header + 1; i < end; ++i) {
        const Line& line = lines_[i];
        const auto first = index->entries.find(Folded(line.name));
        if (line.kind == LineKind::kEntry && first != index->entries.end() && first->second == i) {
            const std::string_view text = line.text;
            entries.push_back({line.name, std::string(Decode(text.substr(text.find('=') + 1))), i});
        }
    }
    return entries;
}

std::vector<IniFile::Repeat> IniFile::Repeats(std::string_view section) const {
    std::vector<Repeat> repeats;
    const SectionIndex* index = IndexOf(section);
    if (index == nullptr) {
        return repeats;
    }
    const std::size_t end = SectionEnd(index->header);
    const std::string name = Folded(section);
    for (std::size_t i = index->header + 1; i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        if (i >= end) {
            if (line.kind == LineKind::kSection && Folded(line.name) == name) {
                repeats.push_back({{}, {}, i, index->header});
            }
            continue;
        }
        if (line.kind != LineKind::kEntry) {
            continue;
        }
        const auto first = index->entries.find(Folded(line.name));
        if (first != index->entries.end() && first->second != i) {
            const std::string_view text = line.text;
            repeats.push_back({line.name, std::string(Decode(text.substr(text.find('=') + 1))), i,
                               first->second});
        }
    }
    return repeats;
}

bool IniFile::Set(std::string_view section, std::string_view key, std::string_view value) {
    return SetAll(section, {{std::string(key), std::string(value)}});
}

bool IniFile::SetAll(std::string_view section, const std::vector<KeyValue>& entries,
                     std::size_t* failed) {
    if (!ValidSectionName(section)) {
        if (failed != nullptr) {
            *failed = 0;
        }
        return false;
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (!ValidKey(entries[i].first) || BreaksLine(entries[i].second)) {
            if (failed != nullptr) {
                *failed = i;
            }
            return false;
        }
    }
    auto lineOf = [](const KeyValue& entry) {
        return MakeLine(entry.first + "=" + Encode(entry.second), std::string(kCrLf));
    };
    const SectionIndex* index = IndexOf(section);
    if (index == nullptr) {
        if (!lines_.empty()) {
            EndWithLineFeed(lines_.back().ending);
        }
        lines_.push_back(MakeLine("[" + std::string(section) + "]", std::string(kCrLf)));
        index_.reset();
        index = IndexOf(section);
    }
    // Existing keys are replaced where they stand; new ones go after the section's last entry,
    // so blank lines and comments that lead into the next section stay with it. All in one pass:
    // a large file must not cost a pass per key.
    std::vector<Line> added;
    std::unordered_map<std::string, std::size_t> addedAt;
    for (const KeyValue& entry : entries) {
        const std::string folded = Folded(entry.first);
        if (const auto found = index->entries.find(folded); found != index->entries.end()) {
            lines_[found->second] = lineOf(entry);
        } else if (const auto again = addedAt.find(folded); again != addedAt.end()) {
            added[again->second] = lineOf(entry);
        } else {
            addedAt.emplace(folded, added.size());
            added.push_back(lineOf(entry));
        }
    }
    if (!added.empty()) {
        std::size_t after = index->header;
        const std::size_t end = SectionEnd(index->header);
        for (std::size_t i = index->header + 1; i < end; ++i) {
            if (lines_[i].kind == LineKind::kEntry) {
                after = i;
            }
        }
        EndWithLineFeed(lines_[after].ending);
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(after) + 1,
                      std::make_move_iterator(added.begin()), std::make_move_iterator(added.end()));
    }
    index_.reset();  // lines have moved
    return true;
}

}  // namespace quelvar::settings

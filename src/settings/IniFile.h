#pragma once
// An INI document in memory, read and written by the rules of the target platform's profile
// functions, so that the files it writes read the same there and the other way round. Bytes are
// 8-bit text; only ASCII letters are folded when names are compared.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace quelvar::settings {

class IniFile {
  public:
    IniFile() = default;

    // Any bytes parse. A line ends at CR LF, at LF or at a CR alone, as the platform's profile
    // functions read them. After
    // leading blanks (space, tab): ";" starts a comment, "[name]" a section (text after the "]"
    // is ignored), and a line with "=" is an entry whose key is the text before the first "=".
    static IniFile Parse(std::string_view bytes);
    // The lines with their endings: what was parsed comes back byte for byte, what Set wrote
    // ends in CR LF.
    std::string Serialise() const;
    // Every line, the last one too, then ends in CR LF.
    void UseCrLfEndings();

    struct Entry {
        std::string key;    // as the file spells it, blanks dropped
        std::string value;  // as Get reads it
        std::size_t line;   // 0-based line of the file
    };
    // The entries of the first such section in file order, each key once (the first one, which
    // Get reads). Empty when there is no such section.
    std::vector<Entry> Entries(std::string_view section) const;

    // What Get and Entries pass over in the first such section: each later line of a key given
    // before in it (names compared as Get compares them), and each later header of the same
    // section, none of whose lines are read. In file order; empty when there is no such section.
    struct Repeat {
        std::string key;        // as this line spells it; empty for a repeated section header
        std::string value;      // as Get would read this line
        std::size_t line;       // 0-based
        std::size_t firstLine;  // the line read instead: the key's first, the first header
    };
    std::vector<Repeat> Repeats(std::string_view section) const;

    // A section or key name as names compare: blanks around it dropped, ASCII folded to lower
    // case.
    static std::string FoldedName(std::string_view name);

    // Names compare ignoring ASCII case, after the blanks around them are dropped.
    bool HasSection(std::string_view section) const;
    // The value of the first such key in the first such section: blanks around it dropped, then
    // one enclosing pair of double or of single quotes. Nothing when the section or the key is
    // missing.
    std::optional<std::string> Get(std::string_view section, std::string_view key) const;

    // Stores the value so that Get returns it unchanged: quoted in double quotes when it has
    // blanks at an edge or begins and ends with the same quote. Replaces the line of the key that
    // Get would read, else adds the key after the section's last entry, else adds the section at
    // the end; every other line stays as it was. False, and nothing changed, for what no line can
    // hold: a CR, LF or NUL anywhere, a key that is empty, has blanks at an edge, holds "=" or
    // starts with "[" or ";", a section name that is empty, has blanks at an edge or holds "]".
    bool Set(std::string_view section, std::string_view key, std::string_view value);
    // Set for many keys at once, in time linear in the file's size. False, and nothing changed,
    // when any of them cannot be held; `failed` (if given) then receives its index, or 0 when it
    // is the section name that cannot.
    using KeyValue = std::pair<std::string, std::string>;
    bool SetAll(std::string_view section, const std::vector<KeyValue>& entries,
                std::size_t* failed = nullptr);

  private:
    enum class LineKind { kOther, kComment, kSection, kEntry };
    struct Line {
        std::string text;    // without its ending
        std::string ending;  // "\r\n", "\n", or "" for a last line without one
        LineKind kind = LineKind::kOther;
        std::string name;  // section name or entry key, blanks dropped
    };

    static Line MakeLine(std::string text, std::string ending);
    // Index of the first section header of that name, or npos.
    std::size_t FindSection(std::string_view section) const;
    // End of the section whose header is at `header`: the next header or the end.
    std::size_t SectionEnd(std::size_t header) const;

    // The first entry of each key of one section, folded to lower case: a load looks up
    // hundreds of keys, and a scan for each is slow in a large file. Rebuilt after a change
    // of the lines' places.
    struct SectionIndex {
        std::string section;  // folded
        std::size_t header = 0;
        std::unordered_map<std::string, std::size_t> entries;
    };
    const SectionIndex* IndexOf(std::string_view section) const;

    std::vector<Line> lines_;
    mutable std::optional<SectionIndex> index_;
};

}  // namespace quelvar::settings

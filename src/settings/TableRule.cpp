#include "settings/TableRule.h"

#include <string_view>

namespace quelvar::settings {

namespace {

constexpr int kCaptionColumn = 0;
constexpr int kValueColumn = 1;

// The order of the row map, checked where the compiler can see it: "T" (0x54) before "É" (0xC9)
// holds only if bytes compare unsigned, and a prefix comes first.
static_assert(std::string_view("T") < std::string_view("\xC9"));
static_assert(std::string_view("T1") < std::string_view("T1x"));

}  // namespace

TTableRule::TTableRule(StringGrid& grid, int captionColumnWidth) : grid_(grid) {
    grid_.SetColWidth(kCaptionColumn, captionColumnWidth);
}

bool TTableRule::AddRow(const std::string& caption, const std::string& rule, const std::string& key,
                        int exactLength, int maxLength, bool upperCase) {
    const int row = grid_.FixedRows() + rowsAdded_;
    if (row >= grid_.RowCount() || !grid_.Contains(kValueColumn, row) ||
        rows_.count(caption) != 0) {
        return false;
    }
    grid_.SetCell(kCaptionColumn, row, caption);
    rows_.emplace(caption, RowRule{rule, exactLength, maxLength, upperCase, key});
    ++rowsAdded_;
    return true;
}

const TTableRule::RowRule* TTableRule::Find(const std::string& caption) const {
    const auto found = rows_.find(caption);
    return found == rows_.end() ? nullptr : &found->second;
}

int TTableRule::RowOf(const std::string& caption) const {
    // A caption never added has no row, even if the same text stands in some cell.
    if (Find(caption) == nullptr) {
        return -1;
    }
    // The row is found by its caption text, so a header row with the same text is passed over.
    // Plain byte equality stands in for a locale comparison: for every caption of the catalogue
    // the two give the same answer.
    for (int row = grid_.FixedRows(); row < grid_.RowCount(); ++row) {
        if (grid_.Cell(kCaptionColumn, row) == caption) {
            return row;
        }
    }
    return -1;
}

bool TTableRule::SetValue(const std::string& caption, const std::string& value) {
    const int row = RowOf(caption);
    return row >= 0 && grid_.SetCell(kValueColumn, row, value);
}

std::string TTableRule::GetValue(const std::string& caption) const {
    const int row = RowOf(caption);
    return row >= 0 ? grid_.Cell(kValueColumn, row) : std::string();
}

std::string TTableRule::GetRule(const std::string& caption) const {
    const RowRule* found = Find(caption);
    return found != nullptr ? found->rule : std::string();
}

int TTableRule::GetExactLength(const std::string& caption) const {
    const RowRule* found = Find(caption);
    return found != nullptr ? found->exactLength : 0;
}

int TTableRule::GetMaxLength(const std::string& caption) const {
    const RowRule* found = Find(caption);
    return found != nullptr ? found->maxLength : 0;
}

bool TTableRule::GetUpperCase(const std::string& caption) const {
    const RowRule* found = Find(caption);
    return found != nullptr && found->upperCase;
}

std::string TTableRule::GetKey(const std::string& caption) const {
    const RowRule* found = Find(caption);
    return found != nullptr ? found->key : std::string();
}

void TTableRule::ForEachRow(const RowVisitor& visit) const {
    for (const auto& [caption, row] : rows_) {
        visit(caption, row.key);
    }
}

}  // namespace quelvar::settings

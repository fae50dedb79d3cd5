#include "settings/ImageFields.h"

#include <algorithm>

namespace quelvar::settings {

namespace {

constexpr int kTargetsPerGroup = 4;
constexpr int kCallBitShift = 4;

}  // namespace

void PutTextField(std::span<std::uint8_t> field, const std::string& text) {
    if (field.empty()) {
        return;
    }
    const std::size_t length = std::min(text.size(), field.size() - 1);
    const auto end =
        std::transform(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(length),
                       field.begin(), [](char c) { return static_cast<std::uint8_t>(c); });
    std::fill(end, field.end(), std::uint8_t{0});
}

std::string TextField(std::span<const std::uint8_t> field) {
    const auto end = std::find(field.begin(), field.end(), std::uint8_t{0});
    return std::string(field.begin(), end);
}

std::uint8_t TargetsFromMarks(const StringGrid& grid, int row, int firstCallCol, int firstSmsCol) {
    unsigned targets = 0;
    for (int i = 0; i < kTargetsPerGroup; ++i) {
        if (!grid.Cell(firstSmsCol + i, row).empty()) {
            targets |= 1u << i;
        }
        if (!grid.Cell(firstCallCol + i, row).empty()) {
            targets |= 1u << (kCallBitShift + i);
        }
    }
    return static_cast<std::uint8_t>(targets);
}

void MarksFromTargets(StringGrid& grid, int row, std::uint8_t targets, int firstCallCol,
                      int firstSmsCol) {
    const auto mark = [targets](int bit) { return (targets >> bit & 1) != 0 ? kMarkText : ""; };
    for (int i = 0; i < kTargetsPerGroup; ++i) {
        grid.SetCell(firstSmsCol + i, row, mark(i));
        grid.SetCell(firstCallCol + i, row, mark(kCallBitShift + i));
    }
}

}  // namespace quelvar::settings

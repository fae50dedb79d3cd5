#pragma once
// Pieces shared by the two event-table images: zero-terminated text fields and the targets byte
// with its mark cells.

#include <cstdint>
#include <span>
#include <string>

#include "settings/StringGrid.h"

namespace quelvar::settings {

// What a set target bit shows in its mark cell.
inline constexpr const char* kMarkText = "X";

// Writes the text and zero-fills the field; a text too long for the field is cut so that at
// least one zero byte remains. An empty field is left untouched.
void PutTextField(std::span<std::uint8_t> field, const std::string& text);
// The field's text up to its first zero byte, or the whole field when it holds no zero byte.
std::string TextField(std::span<const std::uint8_t> field);

// Bits 0 to 3: the four SMS mark cells from firstSmsCol; bits 4 to 7: the four call mark cells
// from firstCallCol. Any non-empty cell is a set bit; a cell outside the grid is an empty one.
std::uint8_t TargetsFromMarks(const StringGrid& grid, int row, int firstCallCol, int firstSmsCol);
// The reverse: each mark cell becomes kMarkText or the empty text; cells the grid lacks are
// skipped.
void MarksFromTargets(StringGrid& grid, int row, std::uint8_t targets, int firstCallCol,
                      int firstSmsCol);

}  // namespace quelvar::settings

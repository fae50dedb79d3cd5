#pragma once
// The input event table as the device keeps it in configuration memory: 16 records of 256 bytes,
// of which the first four belong to the data rows of the input grid (grid row n + 1 is record n)
// and the rest stay zero.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "settings/StringGrid.h"

namespace quelvar::settings {

inline constexpr std::uint32_t kInputTableAddress = 0x32000;
inline constexpr std::size_t kInputTableLength = 4096;
inline constexpr std::size_t kInputRecordCount = 16;
inline constexpr std::size_t kInputRecordSize = 256;
inline constexpr std::size_t kInputRecordsUsed = 4;

// Record layout. The SMS text is zero-terminated inside its size.
inline constexpr std::size_t kInputSmsOffset = 0;
inline constexpr std::size_t kInputSmsSize = 164;
inline constexpr std::size_t kInputTargetsOffset = 164;

// A record is read back only when its first byte lies in this range ("0" to "z"); erased or
// empty records, and texts starting with anything else, leave their grid row as it was.
inline constexpr std::uint8_t kInputFirstByteMin = 0x30;
inline constexpr std::uint8_t kInputFirstByteMax = 0x7A;

// The input grid: row 0 and column 0 fixed, marks "X" or empty.
inline constexpr int kInputGridColumns = 10;
inline constexpr int kInputGridRows = 5;
inline constexpr int kInputFirstCallColumn = 1;  // calls to T1..T4: targets bits 4..7
inline constexpr int kInputSmsColumn = 5;
inline constexpr int kInputFirstSmsColumn = 6;  // SMS to T1..T4: targets bits 0..3

// The image of grid rows 1 to 4, kInputTableLength bytes. A cell outside the grid counts as
// empty; an SMS text too long for its field is cut so that its terminating zero fits. Never
// fails.
std::vector<std::uint8_t> BuildInputTableImage(const StringGrid& grid);

// Overwrites the data cells of each of rows 1 to 4 whose record passes the first-byte test,
// marks as "X" or empty; cells the grid lacks are skipped. False, and the grid untouched, when
// the image is not kInputTableLength bytes long.
bool FillInputGrid(StringGrid& grid, std::span<const std::uint8_t> image);

}  // namespace quelvar::settings

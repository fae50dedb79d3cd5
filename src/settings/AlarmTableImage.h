#pragma once
// The alarm event table as the device keeps it in configuration memory: 32 records of 256 bytes,
// one per data row of the alarm grid (grid row n + 1 is record n).

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "settings/StringGrid.h"

namespace quelvar::settings {

inline constexpr std::uint32_t kAlarmTableAddress = 0x30000;
inline constexpr std::size_t kAlarmTableLength = 8192;
inline constexpr std::size_t kAlarmRecordCount = 32;
inline constexpr std::size_t kAlarmRecordSize = 256;

// Record layout. Text fields are zero-terminated inside their size.
inline constexpr std::size_t kAlarmCodeOffset = 0;
inline constexpr std::size_t kAlarmQualifierOffset = 4;
inline constexpr std::size_t kAlarmPartitionOffset = 8;
inline constexpr std::size_t kAlarmZoneOffset = 12;
inline constexpr std::size_t kAlarmShortFieldSize = 4;
inline constexpr std::size_t kAlarmSmsOffset = 16;
inline constexpr std::size_t kAlarmSmsSize = 164;
inline constexpr std::size_t kAlarmTargetsOffset = 180;

// The alarm grid: row 0 and column 0 fixed, marks "X" or empty.
inline constexpr int kAlarmGridColumns = 14;
inline constexpr int kAlarmGridRows = 33;
inline constexpr int kAlarmCodeColumn = 1;
inline constexpr int kAlarmQualifierColumn = 2;
inline constexpr int kAlarmPartitionColumn = 3;
inline constexpr int kAlarmZoneColumn = 4;
inline constexpr int kAlarmFirstCallColumn = 5;  // calls to T1..T4: targets bits 4..7
inline constexpr int kAlarmSmsColumn = 9;
inline constexpr int kAlarmFirstSmsColumn = 10;  // SMS to T1..T4: targets bits 0..3

// The image of grid rows 1 to 32, kAlarmTableLength bytes. A cell outside the grid counts as
// empty; a text too long for its field is cut so that its terminating zero fits. Never fails.
std::vector<std::uint8_t> BuildAlarmTableImage(const StringGrid& grid);

// Overwrites every data cell of rows 1 to 32 from the image, marks as "X" or empty; cells the
// grid lacks are skipped. False, and the grid untouched, when the image is not kAlarmTableLength
// bytes long.
bool FillAlarmGrid(StringGrid& grid, std::span<const std::uint8_t> image);

}  // namespace quelvar::settings

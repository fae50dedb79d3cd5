#pragma once
// One description for each event table the device keeps in configuration memory: where it lies,
// how long it is, and how its grid becomes the image and the image the grid. Whatever moves a
// table between a grid and the device is written once, for both.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "settings/AlarmTableImage.h"
#include "settings/InputTableImage.h"
#include "settings/StringGrid.h"

namespace quelvar::settings {

struct EventTable {
    const char* name;  // "alarm table"
    std::uint32_t address;
    std::size_t length;
    std::vector<std::uint8_t> (*build)(const StringGrid& grid);
    bool (*fill)(StringGrid& grid, std::span<const std::uint8_t> image);
};

inline constexpr EventTable kAlarmTable{"alarm table", kAlarmTableAddress, kAlarmTableLength,
                                        &BuildAlarmTableImage, &FillAlarmGrid};
inline constexpr EventTable kInputTable{"input table", kInputTableAddress, kInputTableLength,
                                        &BuildInputTableImage, &FillInputGrid};

}  // namespace quelvar::settings

#include "settings/AlarmTableImage.h"

#include "settings/ImageFields.h"

namespace quelvar::settings {

namespace {

struct TextColumn {
    int column;
    std::size_t offset;
    std::size_t size;
};

constexpr TextColumn kTextColumns[] = {
    {kAlarmCodeColumn, kAlarmCodeOffset, kAlarmShortFieldSize},
    {kAlarmQualifierColumn, kAlarmQualifierOffset, kAlarmShortFieldSize},
    {kAlarmPartitionColumn, kAlarmPartitionOffset, kAlarmShortFieldSize},
    {kAlarmZoneColumn, kAlarmZoneOffset, kAlarmShortFieldSize},
    {kAlarmSmsColumn, kAlarmSmsOffset, kAlarmSmsSize},
};

static_assert(kAlarmRecordCount * kAlarmRecordSize == kAlarmTableLength);
static_assert(kAlarmSmsOffset + kAlarmSmsSize == kAlarmTargetsOffset);

int GridRow(std::size_t record) {
    return static_cast<int>(record) + 1;
}

}  // namespace

std::vector<std::uint8_t> BuildAlarmTableImage(const StringGrid& grid) {
    std::vector<std::uint8_t> image(kAlarmTableLength, 0);
    const std::span<std::uint8_t> all(image);
    for (std::size_t n = 0; n < kAlarmRecordCount; ++n) {
        const auto record = all.subspan(n * kAlarmRecordSize, kAlarmRecordSize);
        const int row = GridRow(n);
        for (const TextColumn& text : kTextColumns) {
            PutTextField(record.subspan(text.offset, text.size), grid.Cell(text.column, row));
        }
        record[kAlarmTargetsOffset] =
            TargetsFromMarks(grid, row, kAlarmFirstCallColumn, kAlarmFirstSmsColumn);
    }
    return image;
}

bool FillAlarmGrid(StringGrid& grid, std::span<const std::uint8_t> image) {
    if (image.size() != kAlarmTableLength) {
        return false;
    }
    for (std::size_t n = 0; n < kAlarmRecordCount; ++n) {
        const auto record = image.subspan(n * kAlarmRecordSize, kAlarmRecordSize);
        const int row = GridRow(n);
        for (const TextColumn& text : kTextColumns) {
            grid.SetCell(text.column, row, TextField(record.subspan(text.offset, text.size)));
        }
        MarksFromTargets(grid, row, record[kAlarmTargetsOffset], kAlarmFirstCallColumn,
                         kAlarmFirstSmsColumn);
    }
    return true;
}

}  // namespace quelvar::settings

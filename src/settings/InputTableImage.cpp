#include "settings/InputTableImage.h"

#include "settings/ImageFields.h"

namespace quelvar::settings {

namespace {

static_assert(kInputRecordCount * kInputRecordSize == kInputTableLength);
static_assert(kInputSmsOffset + kInputSmsSize == kInputTargetsOffset);

int GridRow(std::size_t record) {
    return static_cast<int>(record) + 1;
}

}  // namespace

std::vector<std::uint8_t> BuildInputTableImage(const StringGrid& grid) {
    std::vector<std::uint8_t> image(kInputTableLength, 0);
    const std::span<std::uint8_t> all(image);
    for (std::size_t n = 0; n < kInputRecordsUsed; ++n) {
        const auto record = all.subspan(n * kInputRecordSize, kInputRecordSize);
        const int row = GridRow(n);
        PutTextField(record.subspan(kInputSmsOffset, kInputSmsSize),
                     grid.Cell(kInputSmsColumn, row));
        record[kInputTargetsOffset] =
            TargetsFromMarks(grid, row, kInputFirstCallColumn, kInputFirstSmsColumn);
    }
    return image;
}

bool FillInputGrid(StringGrid& grid, std::span<const std::uint8_t> image) {
    if (image.size() != kInputTableLength) {
        return false;
    }
    for (std::size_t n = 0; n < kInputRecordsUsed; ++n) {
        const auto record = image.subspan(n * kInputRecordSize, kInputRecordSize);
        const std::uint8_t first = record[kInputSmsOffset];
        if (first < kInputFirstByteMin || first > kInputFirstByteMax) {
            continue;
        }
        const int row = GridRow(n);
        grid.SetCell(kInputSmsColumn, row,
                     TextField(record.subspan(kInputSmsOffset, kInputSmsSize)));
        MarksFromTargets(grid, row, record[kInputTargetsOffset], kInputFirstCallColumn,
                         kInputFirstSmsColumn);
    }
    return true;
}

}  // namespace quelvar::settings

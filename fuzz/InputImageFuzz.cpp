// The input-table decoder on any memory a device might hand back: the rows it takes and the rows
// it must leave, and the image built from that grid again.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "ImageCheck.h"
#include "settings/Catalogue.h"
#include "settings/InputTableImage.h"

namespace {

namespace settings = quelvar::settings;
namespace fuzz = quelvar::fuzz;

constexpr fuzz::TextLayout kTexts[] = {
    {settings::kInputSmsColumn, settings::kInputSmsOffset, settings::kInputSmsSize},
};

constexpr fuzz::RecordLayout kLayout = {settings::kInputRecordSize, settings::kInputTargetsOffset,
                                        settings::kInputFirstCallColumn,
                                        settings::kInputFirstSmsColumn, kTexts};

bool Taken(std::uint8_t first) {
    return first >= settings::kInputFirstByteMin && first <= settings::kInputFirstByteMax;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<std::string> fixed = fuzz::FixedCells(*settings::MakeInputGrid());
    const std::unique_ptr<settings::StringGrid> grid = settings::MakeInputGrid();
    // Longer than the SMS field, so a kept row also tests the cut when the image is built.
    const std::string kept(200, 'k');
    fuzz::FillDataCells(*grid, kept);
    const std::vector<std::string> before = fuzz::Cells(*grid);

    const bool exact = size == settings::kInputTableLength;
    FUZZ_CHECK(settings::FillInputGrid(*grid, std::span(data, size)) == exact);
    if (!exact) {
        FUZZ_CHECK(fuzz::Cells(*grid) == before);
        FUZZ_CHECK(
            settings::FillInputGrid(*grid, fuzz::ImageOf(data, size, settings::kInputTableLength)));
    }
    const std::vector<std::uint8_t> image = fuzz::ImageOf(data, size, settings::kInputTableLength);
    const auto records = std::span<const std::uint8_t>(image);

    FUZZ_CHECK(fuzz::FixedCells(*grid) == fixed);
    for (std::size_t n = 0; n < settings::kInputRecordsUsed; ++n) {
        const auto record = records.subspan(n * kLayout.recordSize, kLayout.recordSize);
        const int row = static_cast<int>(n) + 1;
        if (Taken(record[settings::kInputSmsOffset])) {
            fuzz::CheckDecodedRow(*grid, row, record, kLayout);
        } else {
            for (int col = grid->FixedCols(); col < grid->ColCount(); ++col) {
                FUZZ_CHECK(grid->Cell(col, row) == kept);
            }
        }
    }
    fuzz::CheckBuiltImage(*grid, settings::BuildInputTableImage(*grid), settings::kInputTableLength,
                          settings::kInputRecordsUsed, kLayout);
    return 0;
}

// The alarm-table decoder on any memory a device might hand back: the grid it fills, and the
// image built from that grid again.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "ImageCheck.h"
#include "settings/AlarmTableImage.h"
#include "settings/Catalogue.h"

namespace {

namespace settings = quelvar::settings;
namespace fuzz = quelvar::fuzz;

constexpr fuzz::TextLayout kTexts[] = {
    {settings::kAlarmCodeColumn, settings::kAlarmCodeOffset, settings::kAlarmShortFieldSize},
    {settings::kAlarmQualifierColumn, settings::kAlarmQualifierOffset,
     settings::kAlarmShortFieldSize},
    {settings::kAlarmPartitionColumn, settings::kAlarmPartitionOffset,
     settings::kAlarmShortFieldSize},
    {settings::kAlarmZoneColumn, settings::kAlarmZoneOffset, settings::kAlarmShortFieldSize},
    {settings::kAlarmSmsColumn, settings::kAlarmSmsOffset, settings::kAlarmSmsSize},
};

constexpr fuzz::RecordLayout kLayout = {settings::kAlarmRecordSize, settings::kAlarmTargetsOffset,
                                        settings::kAlarmFirstCallColumn,
                                        settings::kAlarmFirstSmsColumn, kTexts};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<std::string> fixed = fuzz::FixedCells(*settings::MakeAlarmGrid());
    const std::unique_ptr<settings::StringGrid> grid = settings::MakeAlarmGrid();
    // Not a mark, so a cell the decoder missed shows.
    fuzz::FillDataCells(*grid, "k");
    const std::vector<std::string> before = fuzz::Cells(*grid);

    // Only an image of the table's exact length is taken; anything else leaves the grid alone.
    const bool exact = size == settings::kAlarmTableLength;
    FUZZ_CHECK(settings::FillAlarmGrid(*grid, std::span(data, size)) == exact);
    if (!exact) {
        FUZZ_CHECK(fuzz::Cells(*grid) == before);
        FUZZ_CHECK(
            settings::FillAlarmGrid(*grid, fuzz::ImageOf(data, size, settings::kAlarmTableLength)));
    }
    const std::vector<std::uint8_t> image = fuzz::ImageOf(data, size, settings::kAlarmTableLength);
    const auto records = std::span<const std::uint8_t>(image);

    FUZZ_CHECK(fuzz::FixedCells(*grid) == fixed);
    for (std::size_t n = 0; n < settings::kAlarmRecordCount; ++n) {
        fuzz::CheckDecodedRow(*grid, static_cast<int>(n) + 1,
                              records.subspan(n * kLayout.recordSize, kLayout.recordSize), kLayout);
    }
    fuzz::CheckBuiltImage(*grid, settings::BuildAlarmTableImage(*grid), settings::kAlarmTableLength,
                          settings::kAlarmRecordCount, kLayout);
    return 0;
}

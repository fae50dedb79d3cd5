#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "settings/AlarmTableImage.h"
#include "settings/InputTableImage.h"

namespace quelvar::settings {
namespace {

using Image = std::vector<std::uint8_t>;

StringGrid AlarmGrid() {
    return StringGrid(kAlarmGridColumns, kAlarmGridRows, 1, 1);
}
StringGrid InputGrid() {
    return StringGrid(kInputGridColumns, kInputGridRows, 1, 1);
}

// Bytes [from, to) of the image as text, for byte-by-byte comparison.
std::string Bytes(const Image& image, std::size_t from, std::size_t to) {
    return std::string(image.begin() + static_cast<std::ptrdiff_t>(from),
                       image.begin() + static_cast<std::ptrdiff_t>(to));
}

std::string Zeros(std::size_t count) {
    return std::string(count, '\0');
}

TEST(AlarmTableImageTest, RecordZeroByteByByte) {
    StringGrid grid = AlarmGrid();
    const std::pair<int, const char*> cells[] = {
        {1, "1*3"}, {2, "E"}, {3, "01"}, {4, "005"}, {9, "Riaszt\xE1s"}, {5, "X"}, {10, "X"}};
    for (const auto& [col, text] : cells) {
        grid.SetCell(col, 1, text);
    }
    const Image image = BuildAlarmTableImage(grid);
    ASSERT_EQ(image.size(), 8192u);
    EXPECT_EQ(Bytes(image, 0, 256), std::string("1*3\0E\0\0\0"
                                                "01\0\0"
                                                "005\0",
                                                16) +
                                        "Riaszt\xE1s" + Zeros(156) + "\x11" + Zeros(75));
    EXPECT_EQ(Bytes(image, 256, 8192), Zeros(8192 - 256));
}

TEST(AlarmTableImageTest, EmptyGridGivesZerosAndRow32TheLastRecord) {
    StringGrid grid = AlarmGrid();
    grid.SetCell(0, 32, "32");  // labels are not part of the image
    EXPECT_EQ(BuildAlarmTableImage(grid), Image(8192, 0));

    grid.SetCell(1, 32, "602");
    grid.SetCell(8, 32, "x");  // any non-empty mark is a set bit
    grid.SetCell(13, 32, " ");
    const Image image = BuildAlarmTableImage(grid);
    EXPECT_EQ(Bytes(image, 0, 7936), Zeros(7936));
    EXPECT_EQ(Bytes(image, 7936, 7940), std::string("602\0", 4));
    EXPECT_EQ(image[7936 + 180], 0x88);
}

TEST(AlarmTableImageTest, OverlongTextsAreCutInsideTheirFields) {
    StringGrid grid = AlarmGrid();
    grid.SetCell(1, 1, "12345");
    grid.SetCell(2, 1, "ERROR");
    grid.SetCell(9, 1, std::string(200, 'a'));
    const Image image = BuildAlarmTableImage(grid);
    EXPECT_EQ(Bytes(image, 0, 8), std::string("123\0ERR\0", 8));
    EXPECT_EQ(Bytes(image, 16, 180), std::string(163, 'a') + '\0');
    EXPECT_EQ(Bytes(image, 180, 8192), Zeros(8192 - 180));
}

TEST(AlarmTableImageTest, ReadTakesEveryRecordAndItsTargets) {
    StringGrid grid = AlarmGrid();
    for (int col = 0; col < kAlarmGridColumns; ++col) {
        grid.SetCell(col, 2, "old");
    }
    Image image(8192, 0);
    image[180] = 0x80;
    image[256 + 180] = 0x0F;
    // Fields without a zero byte are taken to their end, never into the next field.
    std::fill(image.begin(), image.begin() + 4, std::uint8_t{'A'});
    std::fill(image.begin() + 16, image.begin() + 180, std::uint8_t{'b'});
    ASSERT_TRUE(FillAlarmGrid(grid, image));
    EXPECT_EQ(grid.Cell(1, 1), "AAAA");
    EXPECT_EQ(grid.Cell(2, 1), "");
    EXPECT_EQ(grid.Cell(9, 1), std::string(164, 'b'));
    for (const int col : {5, 6, 7, 8, 10, 11, 12, 13}) {
        EXPECT_EQ(grid.Cell(col, 1), col == 8 ? "X" : "") << col;
        EXPECT_EQ(grid.Cell(col, 2), col >= 10 ? "X" : "") << col;
    }
    // An all-zero record empties its row but not its label.
    EXPECT_EQ(grid.Cell(1, 2), "");
    EXPECT_EQ(grid.Cell(0, 2), "old");
}

TEST(EventImageTest, WrongSizedImagesAreRefused) {
    StringGrid alarms = AlarmGrid();
    StringGrid inputs = InputGrid();
    alarms.SetCell(1, 1, "keep");
    inputs.SetCell(5, 1, "keep");
    EXPECT_FALSE(FillAlarmGrid(alarms, Image(8191, '1')));
    EXPECT_FALSE(FillInputGrid(inputs, Image(8192, '1')));
    EXPECT_EQ(alarms.Cell(1, 1), "keep");
    EXPECT_EQ(inputs.Cell(5, 1), "keep");
}

TEST(InputTableImageTest, RecordTwoAndOverlongText) {
    StringGrid grid = InputGrid();
    EXPECT_EQ(BuildInputTableImage(grid), Image(4096, 0));
    grid.SetCell(5, 3, "Alarm");
    grid.SetCell(1, 3, "X");
    grid.SetCell(9, 3, "X");
    grid.SetCell(5, 4, std::string(170, 'z'));
    const Image image = BuildInputTableImage(grid);
    ASSERT_EQ(image.size(), 4096u);
    EXPECT_EQ(Bytes(image, 0, 512), Zeros(512));
    EXPECT_EQ(Bytes(image, 512, 768), "Alarm" + Zeros(159) + "\x18" + Zeros(91));
    EXPECT_EQ(Bytes(image, 768, 1024), std::string(163, 'z') + Zeros(93));
    EXPECT_EQ(Bytes(image, 1024, 4096), Zeros(3072));
}

TEST(InputTableImageTest, ReadTakesARecordOnlyForFirstBytesFromZeroToLowerZ) {
    const std::pair<int, bool> cases[] = {{0xFF, false}, {0x00, false}, {0xC1, false}, {' ', false},
                                          {'/', false},  {'{', false},  {'0', true},   {'z', true}};
    for (const auto& [first, taken] : cases) {
        StringGrid grid = InputGrid();
        grid.SetCell(5, 1, "before");
        grid.SetCell(2, 1, "X");
        Image image(4096, 0);
        image[0] = static_cast<std::uint8_t>(first);
        image[1] = 'k';
        image[164] = 0x01;
        image[4 * 256] = 'A';  // records past the fourth are never read
        ASSERT_TRUE(FillInputGrid(grid, image));
        const std::string text = {static_cast<char>(first), 'k'};
        EXPECT_EQ(grid.Cell(5, 1), taken ? text : "before") << first;
        EXPECT_EQ(grid.Cell(2, 1), taken ? "" : "X") << first;
        EXPECT_EQ(grid.Cell(6, 1), taken ? "X" : "") << first;
    }
}

}  // namespace
}  // namespace quelvar::settings

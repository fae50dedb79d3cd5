// The CSV of status records that the command line's log and the window's "Save as CSV..." write.

#include "exchange/StatusLog.h"

#include <gtest/gtest.h>

namespace quelvar::exchange {
namespace {

// Texts come from the device: none may turn into a formula in a spreadsheet or into a terminal
// command when the file is shown with cat.
TEST(StatusLogTest, DeviceTextsBecomeSafeCsvCells) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"=HYPERLINK(\"x\")", "'=HYPERLINK(\"x\")"},
        {"+36301234567", "'+36301234567"},
        {"-1+1", "'-1+1"},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"\t=1", "'\\x09=1"},
        {"\r=1", "'\\x0d=1"},
        {"a=b+c", "a=b+c"},
        {"\x1b[2Jgone", "\\x1b[2Jgone"},
        {"line\nbreak\x7f", "line\\x0abreak\\x7f"},
        {"T\xFBz", "T\xC5\xB1z"},
        {"", ""},
    };
    for (const auto& [text, cell] : cases) {
        EXPECT_EQ(CsvText(text), cell) << text;
    }
}

TEST(StatusLogTest, RowsQuoteWhatNeedsItAndCountLostRecords) {
    const auto at = std::chrono::system_clock::time_point(std::chrono::milliseconds(1765287600123));
    EXPECT_EQ(CsvRow({206, "=1,\"2\"", at}),
              "2025-12-09T13:40:00.123Z,206,event,\"'=1,\"\"2\"\"\"\r\n");
    EXPECT_EQ(CsvRow({200, "17", at}), "2025-12-09T13:40:00.123Z,200,signal,17\r\n");
    EXPECT_EQ(CsvDroppedRow(at, 42),
              "2025-12-09T13:40:00.123Z,,dropped,42 records lost: the log did not keep up\r\n");
}

}  // namespace
}  // namespace quelvar::exchange

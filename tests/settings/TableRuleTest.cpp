#include "settings/TableRule.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quelvar::settings {
namespace {

std::vector<std::string> Captions(const TTableRule& table) {
    std::vector<std::string> captions;
    table.ForEachRow(
        [&](const std::string& caption, const std::string&) { captions.push_back(caption); });
    return captions;
}

TEST(TableRuleTest, RowsLandBelowTheFixedRowsAndUnknownCaptionsChangeNothing) {
    StringGrid grid(3, 4, 1, 1);
    grid.SetCell(0, 0, "T2");  // a header with a caption's text is passed over
    TTableRule table(grid, 25);
    EXPECT_EQ(grid.ColWidth(0), 25);
    EXPECT_TRUE(table.AddRow("T2", "+0", "UPHN2", 0, 19, false));
    EXPECT_TRUE(table.AddRow("Z", "", "Z", 0, 1, true));
    EXPECT_EQ(grid.Cell(0, 1), "T2");
    EXPECT_TRUE(table.SetValue("T2", "+36"));
    EXPECT_EQ(grid.Cell(1, 1), "+36");
    EXPECT_EQ(grid.Cell(1, 0), "");
    EXPECT_EQ(table.GetKey("T2"), "UPHN2");
    EXPECT_TRUE(table.GetUpperCase("Z"));

    int changes = 0;
    grid.Subscribe([&](GridChange, int, int) { ++changes; });
    // Row 3 is free and its caption reads empty, yet "" was never added.
    for (const char* caption : {"Y", "", "t2"}) {
        EXPECT_FALSE(table.SetValue(caption, "x")) << caption;
        EXPECT_EQ(table.GetValue(caption), "");
        EXPECT_EQ(table.GetRule(caption), "");
        EXPECT_EQ(table.GetExactLength(caption) + table.GetMaxLength(caption), 0);
        EXPECT_FALSE(table.GetUpperCase(caption));
        EXPECT_EQ(table.GetKey(caption), "");
    }
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(Captions(table), (std::vector<std::string>{"T2", "Z"}));
}

TEST(TableRuleTest, VisitsInUnsignedByteOrderPrefixFirstAndRefusesDuplicates) {
    StringGrid grid(2, 4, 1, 0);
    TTableRule table(grid, 80);
    for (const char* caption : {"\xC9rz", "T1x", "T1"}) {
        EXPECT_TRUE(table.AddRow(caption, "", caption, 0, 1, false));
    }
    EXPECT_FALSE(table.AddRow("T1", "", "other", 0, 1, false));
    EXPECT_TRUE(table.AddRow("Z", "", "Z", 0, 1, false));
    EXPECT_FALSE(table.AddRow("Y", "", "Y", 0, 1, false));  // no row left
    EXPECT_EQ(table.GetKey("T1"), "T1");
    EXPECT_EQ(table.RowsAdded(), 4);
    EXPECT_EQ(Captions(table), (std::vector<std::string>{"T1", "T1x", "Z", "\xC9rz"}));
    EXPECT_EQ(grid.Cell(0, 0), "\xC9rz");
}

}  // namespace
}  // namespace quelvar::settings

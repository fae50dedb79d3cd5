#include "settings/StringGrid.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace quelvar::settings {
namespace {

using Event = std::tuple<GridChange, int, int>;

TEST(StringGridTest, RefusesEverythingOutsideTheGridAndFixedSelections) {
    StringGrid grid(3, 2, 1, 1);
    int changes = 0;
    grid.Subscribe([&](GridChange, int, int) { ++changes; });
    const std::pair<int, int> outside[] = {{-1, 0}, {3, 0}, {0, -1}, {0, 2}};
    for (const auto& [col, row] : outside) {
        EXPECT_FALSE(grid.SetCell(col, row, "x")) << col << "," << row;
        EXPECT_EQ(grid.Cell(col, row), "");
    }
    EXPECT_FALSE(grid.SetColWidth(3, 10));
    EXPECT_FALSE(grid.SetColWidth(0, -1));
    EXPECT_EQ(grid.ColWidth(3), 0);
    EXPECT_EQ(grid.ColWidth(2), StringGrid::kDefaultColWidth);
    // The selection starts on the first free cell and never moves onto a fixed one.
    EXPECT_EQ(std::pair(grid.Col(), grid.Row()), std::pair(1, 1));
    EXPECT_FALSE(grid.SetSelection(0, 1));
    EXPECT_FALSE(grid.SetSelection(2, 0));
    EXPECT_FALSE(grid.SetSelection(3, 1));
    EXPECT_EQ(changes, 0);

    StringGrid empty(-2, 0, 5, 5);
    EXPECT_EQ(empty.ColCount(), 0);
    EXPECT_EQ(empty.FixedCols(), 0);
    EXPECT_EQ(empty.Col(), -1);
}

TEST(StringGridTest, NotifiesOncePerRealChange) {
    StringGrid grid(3, 3, 1, 1);
    std::vector<Event> events;
    grid.Subscribe(
        [&](GridChange change, int col, int row) { events.emplace_back(change, col, row); });
    for (int twice = 0; twice < 2; ++twice) {
        grid.SetCell(1, 2, "a");
        grid.SetCell(0, 0, "header");  // fixed cells hold text too
        grid.SetColWidth(2, 25);
        grid.SetSelection(2, 2);
        grid.SetEditingEnabled(true);
    }
    const std::vector<Event> expected = {
        {GridChange::kCell, 1, 2},         {GridChange::kCell, 0, 0},
        {GridChange::kColumnWidth, 2, -1}, {GridChange::kSelection, 2, 2},
        {GridChange::kEditing, -1, -1},
    };
    EXPECT_EQ(events, expected);
}

TEST(StringGridTest, ListenerRemovedDuringANotificationIsNotCalled) {
    StringGrid grid(2, 2, 0, 0);
    int second = 0;
    StringGrid::ListenerId secondId = 0;
    grid.Subscribe([&](GridChange, int, int) { grid.Unsubscribe(secondId); });
    secondId = grid.Subscribe([&](GridChange, int, int) { ++second; });
    grid.SetCell(0, 0, "x");
    EXPECT_EQ(second, 0);
    EXPECT_FALSE(grid.Unsubscribe(secondId));
}

}  // namespace
}  // namespace quelvar::settings

#include "settings/Catalogue.h"

#include <gtest/gtest.h>

#include <span>
#include <string>
#include <vector>

#include "settings/Cp1250.h"

namespace quelvar::settings {
namespace {

std::vector<std::string> VisitOrder(const TTableRule& table) {
    std::vector<std::string> order;
    table.ForEachRow([&](const std::string& caption, const std::string& key) {
        order.push_back(Cp1250ToUtf8(caption) + "=" + key);
    });
    return order;
}

std::vector<std::string> Row(const StringGrid& grid, int row) {
    std::vector<std::string> cells;
    for (int col = 0; col < grid.ColCount(); ++col) {
        cells.push_back(Cp1250ToUtf8(grid.Cell(col, row)));
    }
    return cells;
}

TEST(CatalogueTest, EveryTableVisitsItsRowsInByteOrder) {
    SettingsModel model;
    using Order = std::vector<std::string>;
    EXPECT_EQ(VisitOrder(model.Rule(TableId::kSimCard)), Order{"PIN kód=SIMPIN"});
    EXPECT_EQ(VisitOrder(model.Rule(TableId::kPhoneNumbers)),
              (Order{"T1=UPHN1", "T2=UPHN2", "T3=UPHN3", "T4=UPHN4"}));
    EXPECT_EQ(VisitOrder(model.Rule(TableId::kSmsForwarding)), Order{"Tulaj(T1)=SFWN"});
    EXPECT_EQ(VisitOrder(model.Rule(TableId::kZ1Settings)),
              (Order{"Típus NO/NC=IN1T", "Érzékenység=IN1S"}));
    EXPECT_EQ(VisitOrder(model.Rule(TableId::kZ2Settings)),
              (Order{"Típus NO/NC=IN2T", "Érzékenység=IN2S"}));
    EXPECT_EQ(VisitOrder(model.Rule(TableId::kMonitoring)),
              (Order{"CID vevő telefonszáma:=MS1", "Z1 eseménykód:=Z1CID", "Z2 eseménykód:=Z2CID",
                     "Ügyfélkód:=ACCID"}));
}

// The whole catalogue, written out: captions as Windows-1250 bytes, the rule texts in full.
constexpr const char* kDigits = "01234567890";
constexpr const char* kPhone = "+01234567890";
constexpr const char* kHex = "0123456789ABCDEFabcdef";
constexpr const char* kSensitivity = "0.1 sec\n0.5 sec\n1 sec\n2 sec\n5 sec\n1 min\n2 min\n10 min";
constexpr const char* kContact = "NO\nNC";

struct WantedRow {
    const char* caption;
    const char* key;
    const char* rule;
    int exact;
    int max;
};

struct WantedTable {
    TableId id;
    const char* grid;
    const char* groupBox;
    const char* groupCaption;
    int columns, rows, fixedRows, captionWidth, valueWidth;
    std::vector<WantedRow> entries;  // in grid order
};

const WantedTable kCatalogue[] = {
    {TableId::kSimCard,
     "sgGPRSConnection",
     "GroupBox2",
     "SIM k\xE1rtya",
     2,
     1,
     0,
     60,
     125,
     {{"PIN k\xF3"
       "d",
       "SIMPIN", kDigits, 4, 4}}},
    {TableId::kPhoneNumbers,
     "sgPhnrs",
     "gbPhnrs1",
     "\xC9rtes\xEDt\xE9si lista",
     3,
     5,
     1,
     25,
     97,
     {{"T1", "UPHN1", kPhone, 0, 19},
      {"T2", "UPHN2", kPhone, 0, 19},
      {"T3", "UPHN3", kPhone, 0, 19},
      {"T4", "UPHN4", kPhone, 0, 19}}},
    {TableId::kSmsForwarding,
     "sgSMSFW",
     "GroupBox3",
     "SIM info SMS tov\xE1"
     "bb\xEDt\xE1sa",
     2,
     1,
     0,
     60,
     125,
     {{"Tulaj(T1)", "SFWN", kPhone, 0, 19}}},
    {TableId::kZ1Settings,
     "sgIN1",
     "gbIN1",
     "Z1 be\xE1ll\xEDt\xE1sa",
     2,
     2,
     0,
     80,
     125,
     {{"\xC9rz\xE9kenys\xE9g", "IN1S", kSensitivity, 0, 15},
      {"T\xEDpus NO/NC", "IN1T", kContact, 0, 5}}},
    {TableId::kZ2Settings,
     "sgIN2",
     "GroupBox7",
     "Z2 be\xE1ll\xEDt\xE1sa",
     2,
     2,
     0,
     80,
     125,
     {{"\xC9rz\xE9kenys\xE9g", "IN2S", kSensitivity, 0, 15},
      {"T\xEDpus NO/NC", "IN2T", kContact, 0, 5}}},
    {TableId::kMonitoring,
     "sgeInEvSetCID",
     "gbMonParams",
     "T\xE1vfel\xFCgyeleti be\xE1ll\xEDt\xE1sok",
     2,
     4,
     0,
     160,
     160,
     {{"\xDCgyf\xE9lk\xF3"
       "d:",
       "ACCID", kHex, 4, 4},
      {"CID vev\xF5 telefonsz\xE1ma:", "MS1", kPhone, 0, 19},
      {"Z1 esem\xE9nyk\xF3"
       "d:",
       "Z1CID", kDigits, 3, 3},
      {"Z2 esem\xE9nyk\xF3"
       "d:",
       "Z2CID", kDigits, 3, 3}}},
};

struct WantedColumn {
    const char* header;
    int width;
};

const WantedColumn kWantedAlarmColumns[] = {
    {" ", 30},  {"Code", 35}, {"E/R", 26}, {"Part", 30}, {"Zone/User", 65},
    {"T1", 20}, {"T2", 20},   {"T3", 20},  {"T4", 20},   {"SMS \xFCzenet", 160},
    {"T1", 20}, {"T2", 20},   {"T3", 20},  {"T4", 20},
};
const WantedColumn kWantedInputColumns[] = {
    {"Riaszt\xE1si h\xEDv\xE1s", 100},
    {"T1", 20},
    {"T2", 20},
    {"T3", 20},
    {"T4", 20},
    {"SMS \xFCzenet", 268},
    {"T1", 20},
    {"T2", 20},
    {"T3", 20},
    {"T4", 20},
};
const char* const kInputLabels[] = {"Z1 Riaszt\xE1s", "Z1 Vissza\xE1ll\xE1s", "Z2 Riaszt\xE1s",
                                    "Z2 Vissza\xE1ll\xE1s"};

void ExpectColumns(const StringGrid& grid, std::span<const WantedColumn> columns) {
    ASSERT_EQ(grid.ColCount(), static_cast<int>(columns.size()));
    for (int col = 0; col < grid.ColCount(); ++col) {
        EXPECT_EQ(grid.Cell(col, 0), columns[col].header) << "column " << col;
        EXPECT_EQ(grid.ColWidth(col), columns[col].width) << "column " << col;
    }
}

TEST(CatalogueTest, EveryTableRowAndGridAsDesigned) {
    SettingsModel model;
    for (const WantedTable& want : kCatalogue) {
        const CatalogueTable& entry = TableOf(want.id);
        SCOPED_TRACE(want.grid);
        EXPECT_EQ(entry.gridName, want.grid);
        EXPECT_EQ(entry.groupBoxName, want.groupBox);
        EXPECT_EQ(GroupCaption(want.id), want.groupCaption);
        const StringGrid& grid = model.Grid(want.id);
        EXPECT_EQ(grid.ColCount(), want.columns);
        EXPECT_EQ(grid.RowCount(), want.rows);
        EXPECT_EQ(grid.FixedRows(), want.fixedRows);
        EXPECT_EQ(grid.FixedCols(), 1);
        EXPECT_EQ(grid.ColWidth(0), want.captionWidth);
        EXPECT_EQ(grid.ColWidth(1), want.valueWidth);
        const TTableRule& table = model.Rule(want.id);
        ASSERT_EQ(table.RowsAdded(), static_cast<int>(want.entries.size()));
        for (std::size_t i = 0; i < want.entries.size(); ++i) {
            const WantedRow& row = want.entries[i];
            EXPECT_EQ(grid.Cell(0, want.fixedRows + static_cast<int>(i)), row.caption);
            EXPECT_EQ(table.GetKey(row.caption), row.key);
            EXPECT_EQ(table.GetRule(row.caption), row.rule) << row.key;
            EXPECT_EQ(table.GetExactLength(row.caption), row.exact) << row.key;
            EXPECT_EQ(table.GetMaxLength(row.caption), row.max) << row.key;
            EXPECT_FALSE(table.GetUpperCase(row.caption)) << row.key;
        }
    }

    StringGrid& phones = model.Grid(TableId::kPhoneNumbers);
    EXPECT_EQ(Row(phones, 0), (std::vector<std::string>{"", "Telefonszám", "ACK"}));
    EXPECT_EQ(phones.ColWidth(2), 25);
    phones.SetCell(1, 3, "+36");
    EXPECT_EQ(model.Rule(TableId::kPhoneNumbers).GetValue("T3"), "+36");

    const StringGrid& alarms = model.AlarmGrid();
    ExpectColumns(alarms, kWantedAlarmColumns);
    ASSERT_EQ(alarms.RowCount(), 33);
    EXPECT_EQ(alarms.FixedRows(), 1);
    EXPECT_EQ(alarms.FixedCols(), 1);
    for (int row = 1; row <= 32; ++row) {
        EXPECT_EQ(alarms.Cell(0, row), std::to_string(row));
    }

    const StringGrid& inputs = model.InputGrid();
    ExpectColumns(inputs, kWantedInputColumns);
    ASSERT_EQ(inputs.RowCount(), 5);
    EXPECT_EQ(inputs.FixedRows(), 1);
    EXPECT_EQ(inputs.FixedCols(), 1);
    for (int row = 1; row <= 4; ++row) {
        EXPECT_EQ(inputs.Cell(0, row), kInputLabels[row - 1]);
    }
}

}  // namespace
}  // namespace quelvar::settings

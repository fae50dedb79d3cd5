#include "settings/Catalogue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/Cp1250.h"

namespace quelvar::settings {
namespace {

// Catalogue texts are compared in readable form, which also catches a wrong escape in the data.
std::string Cp(const char* utf8) {
    return Cp1250FromUtf8(utf8).value();
}

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

TEST(CatalogueTest, GridsHoldCaptionsInAddingOrderWithTheirRules) {
    SettingsModel model;
    EXPECT_EQ(Row(model.Grid(TableId::kMonitoring), 0),
              (std::vector<std::string>{"Ügyfélkód:", ""}));
    EXPECT_EQ(Row(model.Grid(TableId::kMonitoring), 3),
              (std::vector<std::string>{"Z2 eseménykód:", ""}));
    EXPECT_EQ(model.Rule(TableId::kMonitoring).GetExactLength(Cp("Z1 eseménykód:")), 3);
    EXPECT_EQ(model.Rule(TableId::kZ2Settings).GetRule(Cp("Típus NO/NC")), "NO\nNC");

    StringGrid& phones = model.Grid(TableId::kPhoneNumbers);
    EXPECT_EQ(Row(phones, 0), (std::vector<std::string>{"", "Telefonszám", "ACK"}));
    EXPECT_EQ(Row(phones, 4), (std::vector<std::string>{"T4", "", ""}));
    EXPECT_EQ(phones.ColWidth(2), 25);
    phones.SetCell(1, 3, "+36");
    EXPECT_EQ(model.Rule(TableId::kPhoneNumbers).GetValue("T3"), "+36");
}

TEST(CatalogueTest, EventGridsCarryHeadersLabelsAndWidths) {
    SettingsModel model;
    const StringGrid& alarms = model.AlarmGrid();
    EXPECT_EQ(Row(alarms, 0),
              (std::vector<std::string>{" ", "Code", "E/R", "Part", "Zone/User", "T1", "T2", "T3",
                                        "T4", "SMS üzenet", "T1", "T2", "T3", "T4"}));
    EXPECT_EQ(alarms.Cell(0, 1), "1");
    EXPECT_EQ(alarms.Cell(0, 32), "32");
    EXPECT_EQ(alarms.ColWidth(4), 65);

    const StringGrid& inputs = model.InputGrid();
    EXPECT_EQ(Row(inputs, 0), (std::vector<std::string>{"Riasztási hívás", "T1", "T2", "T3", "T4",
                                                        "SMS üzenet", "T1", "T2", "T3", "T4"}));
    EXPECT_EQ(Row(inputs, 4)[0], "Z2 Visszaállás");
    EXPECT_EQ(inputs.ColWidth(5), 268);
}

}  // namespace
}  // namespace quelvar::settings

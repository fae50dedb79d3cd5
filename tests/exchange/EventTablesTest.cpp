// The event tables through the device's memory: round trips, retries and giving up.

#include "exchange/EventTables.h"
#include "exchange/ExchangeFixture.h"
#include "settings/AlarmTableImage.h"
#include "settings/InputTableImage.h"

namespace quelvar::exchange {
namespace {

using EventTables = ExchangeFixture;

settings::StringGrid AlarmGrid() {
    return settings::StringGrid(14, 33, 1, 1);
}
settings::StringGrid InputGrid() {
    return settings::StringGrid(10, 5, 1, 1);
}

TEST_F(EventTables, GridsRoundTripThroughTheDevice) {
    Attach();
    settings::StringGrid alarms = AlarmGrid();
    alarms.SetCell(1, 32, "602");
    alarms.SetCell(2, 32, "E");
    alarms.SetCell(9, 32, "Teszt \xFCzenet");  // "Teszt üzenet"
    alarms.SetCell(8, 32, "X");
    settings::StringGrid inputs = InputGrid();
    inputs.SetCell(5, 3, "Z2 riaszt\xE1s");
    inputs.SetCell(9, 3, "X");
    EXPECT_EQ(WriteEventTable(exchange, settings::kAlarmTable, alarms).unanswered, 0);
    EXPECT_EQ(WriteEventTable(exchange, settings::kInputTable, inputs).unanswered, 0);
    EXPECT_EQ(sim.ReadMemory(0x30000 + 31 * 256, 3), (std::vector<std::uint8_t>{'6', '0', '2'}));

    settings::StringGrid alarmsBack = AlarmGrid();
    settings::StringGrid inputsBack = InputGrid();
    EXPECT_EQ(ReadEventTable(exchange, settings::kAlarmTable, alarmsBack), EventReadOutcome::kRead);
    EXPECT_EQ(ReadEventTable(exchange, settings::kInputTable, inputsBack), EventReadOutcome::kRead);
    for (int row = 1; row < 33; ++row) {
        for (int col = 1; col < 14; ++col) {
            ASSERT_EQ(alarmsBack.Cell(col, row), alarms.Cell(col, row)) << col << "," << row;
        }
    }
    EXPECT_EQ(inputsBack.Cell(5, 3), "Z2 riaszt\xE1s");
    EXPECT_EQ(inputsBack.Cell(9, 3), "X");
    EXPECT_EQ(inputsBack.Cell(1, 3), "");
}

TEST_F(EventTables, FailedWholeReadIsRetriedAfterAPause) {
    Attach();
    std::set<std::size_t> lost;
    for (std::size_t i = 1; i <= 11; ++i) {
        lost.insert(i);
    }
    sim.DropAnswersTo(lost);  // the first whole read fails, the second goes through
    settings::StringGrid inputs = InputGrid();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ReadEventTable(exchange, settings::kInputTable, inputs), EventReadOutcome::kRead);
    EXPECT_GE(std::chrono::steady_clock::now() - start, kEventReadRetryWait);
    EXPECT_EQ(sim.CommandCount(), 11u + 128u);
    EXPECT_EQ(inputs.Cell(5, 1), "Z1 riaszt\xE1s");
}

TEST_F(EventTables, ReadGivesUpAfterFiveWholeReadsAndLeavesTheGrid) {
    Attach();
    sim.IgnoreCommand(link::kReadBlock);
    settings::StringGrid inputs = InputGrid();
    inputs.SetCell(5, 1, "kept");
    EXPECT_EQ(ReadEventTable(exchange, settings::kInputTable, inputs), EventReadOutcome::kFailed);
    EXPECT_EQ(sim.CommandCount(), 5u * 11u);
    EXPECT_EQ(inputs.Cell(5, 1), "kept");
}

TEST_F(EventTables, ReadStopsWhenTheDeviceIsGone) {
    Attach();
    sim.DisconnectAfter(40);
    settings::StringGrid alarms = AlarmGrid();
    alarms.SetCell(1, 1, "kept");
    EXPECT_EQ(ReadEventTable(exchange, settings::kAlarmTable, alarms), EventReadOutcome::kDetached);
    EXPECT_EQ(alarms.Cell(1, 1), "kept");
    EXPECT_LE(sim.CommandCount(), 40u);
}

TEST_F(EventTables, WithoutDeviceObjectTheGridStays) {
    settings::StringGrid alarms = AlarmGrid();
    alarms.SetCell(1, 1, "kept");
    EXPECT_EQ(ReadEventTable(exchange, settings::kAlarmTable, alarms), EventReadOutcome::kNoDevice);
    EXPECT_EQ(alarms.Cell(1, 1), "kept");
}

}  // namespace
}  // namespace quelvar::exchange

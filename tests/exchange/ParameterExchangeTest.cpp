// Getting and setting named parameters, one and a table at a time.

#include <string>

#include "exchange/ExchangeFixture.h"
#include "settings/StringGrid.h"
#include "settings/TableRule.h"

namespace quelvar::exchange {
namespace {

using ParameterExchange = ExchangeFixture;

TEST_F(ParameterExchange, GetTakesTheValueAfterTheEchoedKey) {
    Attach();
    sim.SetParameter("VSTR", "1.23");
    EXPECT_EQ(exchange.GetParameter("VSTR"), "1.23");
    const auto commands = sim.Commands();
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].report[1], link::kGetParameter);
    EXPECT_EQ(commands[0].text, "VSTR");
    EXPECT_EQ(commands[0].report[9], 0);
}

TEST_F(ParameterExchange, GetSkipsTheAnswersKeyByPositionAndToleratesShortAnswers) {
    Attach();
    sim.IgnoreCommand(link::kGetParameter);
    std::string answer;
    onPump = [&] {
        if (!answer.empty()) {
            sim.SendReport(sim::TextReport(link::kGetParameter, answer));
            answer.clear();
        }
    };
    answer = "ABCD=7";  // another key of the same length
    EXPECT_EQ(exchange.GetParameter("VSTR"), "7");
    answer = "VS";
    EXPECT_EQ(exchange.TryGetParameter("VSTR"), "");
    EXPECT_EQ(exchange.TryGetParameter("VSTR"), std::nullopt) << "no answer at all";
    EXPECT_EQ(exchange.GetParameter("VSTR"), "");
}

TEST_F(ParameterExchange, SetSendsKeyEqualsValueAndShowsActivity) {
    Attach();
    EXPECT_EQ(exchange.SetParameter("SMODE", "Standalone"), SetOutcome::kAcknowledged);
    EXPECT_EQ(exchange.SetParameter("UPHN1", ""), SetOutcome::kAcknowledged);
    const auto commands = sim.Commands();
    ASSERT_EQ(commands.size(), 2u);
    link::Report expected{};
    expected[1] = link::kSetParameter;
    const std::string text = "SMODE=Standalone";
    std::copy(text.begin(), text.end(), expected.begin() + 5);
    EXPECT_EQ(commands[0].report, expected);
    EXPECT_EQ(commands[1].text, "UPHN1=");
    EXPECT_EQ(commands[1].report[11], 0);
    EXPECT_EQ(sim.Parameter("SMODE"), "Standalone");
    EXPECT_EQ(statusTexts,
              (std::vector<std::string>{kSettingsChanging, "", kSettingsChanging, ""}));
    EXPECT_TRUE(exchange.Unanswered().Clean());
}

TEST_F(ParameterExchange, OverlongSetIsRefusedAndReported) {
    Attach();
    const std::string fits(59 - 5, 'v');  // "UPHN1=" plus 53 characters is 59
    EXPECT_EQ(exchange.SetParameter("UPHN1", fits.substr(1)), SetOutcome::kAcknowledged);
    EXPECT_EQ(exchange.SetParameter("UPHN1", fits), SetOutcome::kTooLong);
    EXPECT_EQ(exchange.SetParameter(std::string(59, 'K'), ""), SetOutcome::kTooLong);
    EXPECT_EQ(sim.CommandCount(), 1u);
    EXPECT_EQ(exchange.Unanswered().tooLongKeys.size(), 2u);
    EXPECT_EQ(exchange.Unanswered().tooLongKeys[0], "UPHN1");
    EXPECT_EQ(exchange.GetParameter(std::string(60, 'K')), "");
    EXPECT_EQ(sim.CommandCount(), 1u);
}

TEST_F(ParameterExchange, WithoutDeviceObjectNothingHappens) {
    EXPECT_EQ(exchange.GetParameter("PW"), "");
    EXPECT_EQ(exchange.SetParameter("PW", "1"), SetOutcome::kNoDevice);
    EXPECT_TRUE(statusTexts.empty());
}

TEST_F(ParameterExchange, DetachedOrUnansweredSetsAreCounted) {
    sim.Unplug();
    ASSERT_TRUE(connection.Open());
    EXPECT_EQ(exchange.SetParameter("PW", "1"), SetOutcome::kUnanswered);
    EXPECT_EQ(statusTexts, (std::vector<std::string>{kSettingsChanging, ""}));
    EXPECT_EQ(exchange.GetParameter("PW"), "");
    EXPECT_EQ(exchange.Unanswered().sets, 1);
    exchange.ResetUnanswered();
    EXPECT_TRUE(exchange.Unanswered().Clean());
}

TEST_F(ParameterExchange, TablesAreReadAndWrittenInCaptionOrder) {
    Attach();
    settings::StringGrid grid(2, 2, 1, 0);
    settings::TTableRule table(grid, 60);
    table.AddRow("B", "", "KEYB", 0, 10, false);
    table.AddRow("A", "", "KEYA", 0, 10, false);
    sim.SetParameter("KEYA", "alpha");
    sim.SetParameter("KEYB", "beta");
    exchange.ReadTableFromDevice(table);
    EXPECT_EQ(grid.Cell(1, 0), "beta");
    EXPECT_EQ(grid.Cell(1, 1), "alpha");

    table.SetValue("A", "");
    table.SetValue("B", "new");
    exchange.WriteTableToDevice(table);
    EXPECT_EQ(exchange.SetRowParameter(table, "A", "row"), SetOutcome::kAcknowledged);
    std::vector<std::string> texts;
    for (const auto& command : sim.Commands()) {
        texts.push_back(command.text);
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"KEYA", "KEYB", "KEYA=", "KEYB=new", "KEYA=row"}));
}

TEST_F(ParameterExchange, UnansweredTableReadEmptiesTheCells) {
    Attach();
    settings::StringGrid grid(2, 1, 1, 0);
    settings::TTableRule table(grid, 60);
    table.AddRow("PIN", "", "SIMPIN", 4, 4, false);
    table.SetValue("PIN", "9999");
    sim.IgnoreCommand(link::kGetParameter);
    exchange.ReadTableFromDevice(table);
    EXPECT_EQ(table.GetValue("PIN"), "");
}

}  // namespace
}  // namespace quelvar::exchange

// Loading a settings file onto the simulated communicator.

#include "exchange/DeviceSession.h"

#include <string>
#include <vector>

#include "exchange/EventTables.h"
#include "exchange/ExchangeFixture.h"
#include "settings/AlarmTableImage.h"
#include "settings/InputTableImage.h"
#include "support/SettingsFiles.h"

namespace quelvar::exchange {
namespace {

using settings::SettingsModel;
using settings::TableId;
using Texts = std::vector<std::string>;

class SettingsLoad : public ExchangeFixture {
  protected:
    settings::SettingsFileContent Load(const std::string& bytes) {
        test::WriteBytes(path, bytes);
        return settings::ReadSettingsFile(path).content.value();
    }

    Texts SetTexts() const {
        Texts texts;
        for (const auto& command : CommandsWithCode(link::kSetParameter)) {
            texts.push_back(command.text);
        }
        return texts;
    }

    test::TempDir dir;
    const std::string path = dir.File("settings.am2");
};

TEST_F(SettingsLoad, DeviceSettingsSavedAndLoadedComeBackUnchanged) {
    Attach();
    SettingsModel saved;
    for (const settings::CatalogueTable& table : settings::AllTables()) {
        exchange.ReadTableFromDevice(saved.Rule(table.id));
    }
    ASSERT_EQ(ReadEventTable(exchange, settings::kAlarmTable, saved.AlarmGrid()),
              EventReadOutcome::kRead);
    ASSERT_EQ(ReadEventTable(exchange, settings::kInputTable, saved.InputGrid()),
              EventReadOutcome::kRead);
    ASSERT_NE(saved.InputGrid().Cell(1, 3), saved.InputGrid().Cell(6, 3)) << "call, SMS to T1";
    std::string sms;
    while (sms.size() < 158) {
        sms += "\xC1rv\xEDzt\xFBr\xF5 t\xFCk\xF6rf\xFAr\xF3g\xE9p ";  // Árvíztűrő tükörfúrógép
    }
    sms.resize(158);
    saved.AlarmGrid().SetCell(9, 5, sms);
    saved.AlarmGrid().SetCell(1, 6, "'130'");
    saved.AlarmGrid().SetCell(9, 6, "\"quoted\"");
    saved.InputGrid().SetCell(5, 2, "  padded ");
    ASSERT_TRUE(settings::SaveSettingsFile(saved, 1, path).ok);

    SettingsModel loaded;
    const SettingsLoadResult result = DeviceSession(exchange).LoadSettingsFile(
        settings::ReadSettingsFile(path).content.value(), loaded);
    EXPECT_EQ(test::AllCells(loaded), test::AllCells(saved));
    EXPECT_EQ(result.modeIndex, 1);
    EXPECT_TRUE(result.AllSent());
    EXPECT_EQ(sim.ReadMemory(settings::kAlarmTableAddress, settings::kAlarmTableLength),
              settings::BuildAlarmTableImage(saved.AlarmGrid()));
}

TEST_F(SettingsLoad, OnlyTheModeEmptiesEveryCellShowingEachValueBeforeSendingIt) {
    Attach();
    SettingsModel model;
    for (const settings::CatalogueTable& table : settings::AllTables()) {
        model.Rule(table.id).ForEachRow([&](const std::string& caption, const std::string&) {
            model.Rule(table.id).SetValue(caption, "v");
        });
    }
    model.AlarmGrid().SetCell(9, 32, "text");
    model.InputGrid().SetCell(4, 4, "X");
    std::vector<int> emptiedAtEachSend;
    exchange.Hooks().writeStatus = [&](const std::string& text) {
        if (text == kSettingsChanging) {
            int empty = 0;
            for (const settings::CatalogueTable& table : settings::AllTables()) {
                model.Rule(table.id).ForEachRow(
                    [&](const std::string& caption, const std::string&) {
                        empty += model.Rule(table.id).GetValue(caption).empty() ? 1 : 0;
                    });
            }
            emptiedAtEachSend.push_back(empty);
        }
    };

    const SettingsLoadResult result =
        DeviceSession(exchange).LoadSettingsFile(Load("[GSM]\r\nSMODE=1"), model);
    EXPECT_EQ(test::AllCells(model), test::AllCells(SettingsModel()));
    EXPECT_EQ(emptiedAtEachSend, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}));
    EXPECT_EQ(SetTexts(),
              (Texts{"SIMPIN=", "IN1T=", "IN1S=", "IN2T=", "IN2S=", "MS1=", "Z1CID=", "Z2CID=",
                     "ACCID=", "UPHN1=", "UPHN2=", "UPHN3=", "UPHN4=", "SFWN="}));
    EXPECT_EQ(sim.ReadMemory(settings::kAlarmTableAddress, settings::kAlarmTableLength),
              settings::BuildAlarmTableImage(SettingsModel().AlarmGrid()));
    EXPECT_EQ(sim.ReadMemory(settings::kInputTableAddress, settings::kInputTableLength),
              settings::BuildInputTableImage(SettingsModel().InputGrid()));
    EXPECT_EQ(result.modeIndex, 1);
    EXPECT_EQ(sim.Parameter("SMODE"), "Standalone") << "the mode is not sent";
}

TEST_F(SettingsLoad, OverlongValuesAreNeitherSentNorShownAndUnansweredSendsAreCounted) {
    Attach();
    // Commands: 1-13 the sets that fit, 14 and 15 the alarm table's erases, 16 its first block.
    sim.DropAnswersTo({2, 16});
    const std::string overlong(60, '1');
    SettingsModel model;
    model.Rule(TableId::kPhoneNumbers).SetValue("T1", "+3630");
    const SettingsLoadResult result = DeviceSession(exchange).LoadSettingsFile(
        Load("[GSM]\r\nUPHN1=" + overlong + "\r\n"), model);
    EXPECT_EQ(model.Rule(TableId::kPhoneNumbers).GetValue("T1"), "+3630");
    EXPECT_EQ(result.tooLongKeys, Texts{"UPHN1"});
    EXPECT_EQ(SetTexts().size(), 13u);
    EXPECT_EQ(result.unansweredSets, 1);
    EXPECT_EQ(result.unansweredMemoryRequests, 1);
    EXPECT_EQ(result.firstUnansweredAddress, settings::kAlarmTableAddress);
    EXPECT_FALSE(result.AllSent());
}

}  // namespace
}  // namespace quelvar::exchange

// What a settings file is checked for before anything is sent, and how files of other editors
// and older tools read.

#include "settings/SettingsCheck.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/AlarmTableImage.h"
#include "settings/Cp1250.h"
#include "settings/InputTableImage.h"

namespace quelvar::settings {
namespace {

std::vector<std::string> Lines(const std::vector<Finding>& findings) {
    std::vector<std::string> lines;
    for (const Finding& finding : findings) {
        lines.push_back(FormatFinding(finding));
    }
    return lines;
}

// Every key of a clean file, with `changes` put in place of (or after) the plain values.
std::string CleanFile(const std::vector<std::pair<std::string, std::string>>& changes = {}) {
    std::string text = "[GSM]\r\n";
    for (const SettingPlace& place : AllSettings()) {
        std::string value = place.group == SettingGroup::kMode ? "0" : "";
        bool dropped = false;
        for (const auto& [key, changed] : changes) {
            if (key == place.key) {
                dropped = changed == "<drop>";
                value = changed;
            }
        }
        if (!dropped) {
            text += place.key + "=" + value + "\r\n";
        }
    }
    return text;
}

std::vector<Finding> Check(const std::string& bytes) {
    const SettingsReadResult read = ParseSettingsFile(bytes, "test.am2");
    EXPECT_TRUE(read.content) << read.error;
    return read.content ? CheckSettingsFile(*read.content) : std::vector<Finding>{};
}

TEST(SettingsCheckTest, EveryRuleOfTheEditorsInTheFilesOrder) {
    const std::vector<std::pair<std::string, std::string>> changes = {
        {"SIMPIN", "12"},
        {"UPHN1", "+36 30 123"},
        {"UPHN2", "+" + std::string(19, '1')},  // one more than the field holds
        {"IN1S", "3 sec"},
        {"IN2T", "NC"},     // fine
        {"ACCID", "12ab"},  // fine: hex of either case
        {"Z1CID", "1x3"},
        {"extev1Code", "1234"},
        {"extev1E/R", "Q"},
        {"extev1Part", "1"},
        {"extev1Zone/User", "*12"},  // fine
        {"extev1CallT2", "x"},
        {"extev1SMS \xFCzenet", std::string(159, 'a')},
        {"extev2SMS \xFCzenet", std::string(158, '\xF5')},  // fine
        {"intevZ2 Vissza\xE1ll\xE1sT4", "XX"},
        {"SMODE", "2"},
    };
    EXPECT_EQ(Lines(Check(CleanFile(changes))),
              (std::vector<std::string>{
                  "SIMPIN: \"12\" is not 4 characters long",
                  "IN1S: \"3 sec\" is not one of 0.1 sec, 0.5 sec, 1 sec, 2 sec, 5 sec, 1 min, 2 "
                  "min, 10 min",
                  "Z1CID: \"1x3\" holds characters other than digits",
                  "UPHN1: \"+36 30 123\" holds characters other than + and digits",
                  "UPHN2: \"+1111111111111111111\" is longer than 19 characters",
                  "extev1Code: \"1234\" is not 3 characters of * and digits",
                  "extev1E/R: \"Q\" is not E, R or empty",
                  "extev1Part: \"1\" is not 2 characters of * and digits",
                  "extev1CallT2: \"x\" is not X or empty",
                  "extev1SMS \xC3\xBCzenet: \"" + std::string(159, 'a') +
                      "\" is longer than 158 characters",
                  "intevZ2 Vissza\xC3\xA1ll\xC3\xA1sT4: \"XX\" is not X or empty",
                  "SMODE: \"2\" is not 0 or 1",
              }));
}

TEST(SettingsCheckTest, MissingAndUnknownKeysAndOlderFilesWithoutCallMarkKeys) {
    // Files of the earlier tool hold one key for both mark columns: complete.
    std::string older = "[GSM]\r\n";
    for (const SettingPlace& place : AllSettings()) {
        if (place.fallbackKey.empty()) {
            older += place.key + "=" + (place.group == SettingGroup::kMode ? "1" : "") + "\r\n";
        }
    }
    EXPECT_EQ(AllSettings().size(), 467u);
    EXPECT_TRUE(Check(older).empty());

    const std::vector<Finding> findings =
        Check(CleanFile({{"UPHN3", "<drop>"}, {"extev7CallT1", "<drop>"}}) + "Colour=red\r\n");
    EXPECT_EQ(Lines(findings),
              (std::vector<std::string>{
                  "Note: Colour: is not a setting of the communicator; it is ignored",
                  "UPHN3: missing from the file",
              }))
        << "a call mark falls back to its plain key";
    EXPECT_TRUE(HasBlockingFindings(findings));
    EXPECT_FALSE(HasBlockingFindings({findings.front()}));
}

// The grids' mark columns share their headers T1 to T4 between calls and SMS: lists name them
// apart; other columns and the tables keep their names.
TEST(SettingsCheckTest, MarkColumnsAreNamedCallOrSms) {
    const auto name = [](const char* key) { return ColumnName(AllSettings()[*SettingIndex(key)]); };
    EXPECT_EQ(name("extev1CallT1"), "Call T1");
    EXPECT_EQ(name("extev1T4"), "SMS T4");
    EXPECT_EQ(name("intevZ2 Vissza\xE1ll\xE1sCallT3"), "Call T3");
    EXPECT_EQ(name("intevZ1 Riaszt\xE1sT2"), "SMS T2");
    EXPECT_EQ(name("extev1Code"), "Code");
    EXPECT_EQ(name("UPHN1"), "");
}

// The reader takes the first of a key given twice and only the first section; each thing it
// passes over is a note that says which value was taken, and blocks nothing.
TEST(SettingsCheckTest, KeysAndSectionsGivenAgainAreNotesNamingTheValueTaken) {
    const std::string file = CleanFile({{"UPHN1", "+3620"}}) + "uphn1=+3670\r\nUPHN1=+3680\r\n" +
                             "[GSM]\r\nUPHN2=+3699\r\n";
    // Line 1 is the header, then one line per setting, then the lines added here.
    const std::string taken = std::to_string(2 + *SettingIndex("UPHN1"));
    const std::size_t added = AllSettings().size() + 2;
    auto line = [&](std::size_t offset) { return std::to_string(added + offset); };
    const std::vector<Finding> findings = Check(file);
    EXPECT_EQ(Lines(findings),
              (std::vector<std::string>{
                  "Note: uphn1: is given again on line " + line(0) +
                      " as \"+3670\", which is ignored; line " + taken + "'s \"+3620\" is taken",
                  "Note: UPHN1: is given again on line " + line(1) +
                      " as \"+3680\", which is ignored; line " + taken + "'s \"+3620\" is taken",
                  "Note: [GSM]: is given again on line " + line(2) +
                      "; the keys under it are ignored (line 1's section is read)",
              }));
    EXPECT_FALSE(HasBlockingFindings(findings));
}

// A mode other than 0 or 1 is compared as the file spells it: a load sends Standalone for it,
// and no comparison may say that the device holds what the file holds.
TEST(SettingsCheckTest, AnInvalidModeNeverComparesEqualToTheModeSentInItsPlace) {
    const std::size_t mode = *SettingIndex("SMODE");
    for (const char* bad : {"2", "9", "-1", "", "0x1", "Transparent"}) {
        const SettingsReadResult read = ParseSettingsFile(CleanFile({{"SMODE", bad}}), "m.am2");
        ASSERT_TRUE(read.content);
        EXPECT_EQ(ValuesOf(*read.content)[mode], std::string(bad)) << bad;
        EXPECT_NE(ValuesOf(*read.content)[mode], std::string(ModeName(read.content->ModeIndex())))
            << bad;
        EXPECT_TRUE(HasBlockingFindings(CheckSettingsFile(*read.content))) << bad;
    }
    for (const auto& [good, name] : {std::pair{"0", "Standalone"}, {"1", "Transparent"}}) {
        const SettingsReadResult read = ParseSettingsFile(CleanFile({{"SMODE", good}}), "m.am2");
        EXPECT_EQ(ValuesOf(*read.content)[mode], std::string(name));
    }
}

TEST(SettingsCheckTest, CallMarksOfOlderFilesCompareEqualAndBothMissingKeysAreListed) {
    // The earlier tool's file: one key per mark, which stands for the call and the SMS mark.
    std::string older = "[GSM]\r\n";
    for (const SettingPlace& place : AllSettings()) {
        if (place.fallbackKey.empty()) {
            const bool marked = place.key == "extev2T3" || place.key == "intevZ1 Riaszt\xE1sT1";
            older += place.key + "=" + (place.group == SettingGroup::kMode ? "0" : "") +
                     (marked ? "X" : "") + "\r\n";
        }
    }
    const SettingsReadResult read = ParseSettingsFile(older, "older.am2");
    ASSERT_TRUE(read.content);
    SettingsModel device;
    const int t3Call = kAlarmFirstCallColumn + 2;
    const int t3Sms = kAlarmFirstSmsColumn + 2;
    device.AlarmGrid().SetCell(t3Call, 2, "X");
    device.AlarmGrid().SetCell(t3Sms, 2, "X");
    device.InputGrid().SetCell(kInputFirstCallColumn, 1, "X");
    device.InputGrid().SetCell(kInputFirstSmsColumn, 1, "X");
    EXPECT_TRUE(CompareSettings(ValuesOf(*read.content), ValuesOf(device, 0)).empty());
    // Without the call mark on the device, exactly that one differs.
    device.AlarmGrid().SetCell(t3Call, 2, "");
    const auto differences = CompareSettings(ValuesOf(*read.content), ValuesOf(device, 0));
    ASSERT_EQ(differences.size(), 1u);
    EXPECT_EQ(FormatDifference(differences[0], "file", "device"),
              "extev2CallT3: file \"X\" device \"\"");

    EXPECT_EQ(Lines(Check(CleanFile({{"extev5CallT4", "<drop>"}, {"extev5T4", "<drop>"}}))),
              (std::vector<std::string>{
                  "extev5CallT4: missing from the file",
                  "extev5T4: missing from the file",
              }));
}

TEST(SettingsCheckTest, QuotesAndBackslashesInValuesAreEscaped) {
    const SettingDifference d{SettingIndex("UPHN1").value(), "a\" device \"b", "c\\x1b\x1b"};
    EXPECT_EQ(FormatDifference(d, "x.am2", "y.am2"),
              "UPHN1: x.am2 \"a\\\" device \\\"b\" y.am2 \"c\\\\x1b\\x1b\"");
    const SettingDifference missing{SettingIndex("UPHN1").value(), std::nullopt, ""};
    EXPECT_EQ(FormatDifference(missing, "x.am2", "device"),
              "UPHN1: missing from x.am2, device \"\"");
}

TEST(SettingsCheckTest, TextsOfOtherEncodingsAndControlCharacters) {
    // "→" has no place in Windows-1250; the ESC is shown escaped, never raw.
    const std::string utf8 = Cp1250ToUtf8(CleanFile({{"UPHN4", "\x1b[2J"}})) +
                             "extev3SMS \xC3\xBCzenet=a \xE2\x86\x92 b\r\n";
    const std::vector<Finding> findings = Check(utf8);
    const std::string firstSms = std::to_string(2 + *SettingIndex("extev3SMS \xFCzenet"));
    EXPECT_EQ(Lines(findings),
              (std::vector<std::string>{
                  "UPHN4: \"\\x1b[2J\" holds characters other than + and digits",
                  "Note: extev3SMS \xC3\xBCzenet: is given again on line 469 as \"a ? b\", which "
                  "is ignored; line " +
                      firstSms + "'s \"\" is taken",
              }))
        << "the SMS key is a repeat: the first one counts";
    const std::string fresh = Cp1250ToUtf8(CleanFile({{"extev3SMS \xFCzenet", "<drop>"}})) +
                              "extev3SMS \xC3\xBCzenet=a \xE2\x86\x92 b\r\n";
    EXPECT_EQ(Lines(Check(fresh)),
              (std::vector<std::string>{
                  "extev3SMS \xC3\xBCzenet: \"a ? b\" holds a character that Windows-1250 cannot "
                  "hold",
              }));
}

TEST(SettingsCheckTest, ComparisonNamesMissingSidesAndEscapes) {
    SettingsModel model;
    model.Rule(TableId::kPhoneNumbers).SetValue("T1", "+36\x07");
    const SettingsReadResult read =
        ParseSettingsFile(CleanFile({{"UPHN1", "<drop>"}, {"UPHN2", "+3620"}}), "file");
    ASSERT_TRUE(read.content);
    std::vector<std::string> lines;
    for (const SettingDifference& d :
         CompareSettings(ValuesOf(*read.content), ValuesOf(model, 1))) {
        lines.push_back(FormatDifference(d, "file", "device"));
    }
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "UPHN1: missing from the file, device \"+36\\x07\"",
                         "UPHN2: file \"+3620\" device \"\"",
                         "SMODE: file \"Standalone\" device \"Transparent\"",
                     }));
}

}  // namespace
}  // namespace quelvar::settings

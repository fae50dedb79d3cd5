// Edges of reading and naming files, and the acknowledgement marks in the grid and the report.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "settings/Catalogue.h"
#include "settings/FileReplace.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsReport.h"
#include "support/SettingsFiles.h"

namespace quelvar::settings {
namespace {

namespace fs = std::filesystem;

SettingsFileContent Parsed(const std::string& bytes) {
    SettingsReadResult read = ParseSettingsFile(bytes, "test.am2");
    EXPECT_TRUE(read.content) << read.error;
    return read.content ? std::move(*read.content) : SettingsFileContent(IniFile());
}

std::string Utf16(const std::u16string& text, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

TEST(FileEdgesTest, QuotedEmptyValuesEncodingsAndAFileEndingInALetter) {
    const SettingsFileContent quoted = Parsed("[GSM]\r\nUPHN1=\"\"\r\nUPHN2=''\r\nUPHN3=\"'\r\n");
    EXPECT_EQ(quoted.Find("UPHN1"), "");
    EXPECT_EQ(quoted.Find("UPHN2"), "");
    EXPECT_EQ(quoted.Find("UPHN3"), "\"'");

    const std::u16string text =
        u"[GSM]\r\nUPHN1=+3630\r\nextev1SMS \u00fczenet=T\u0171z \u2603\r\n";
    for (const bool bigEndian : {false, true}) {
        const SettingsFileContent wide = Parsed(Utf16(text, bigEndian));
        EXPECT_EQ(wide.Find("UPHN1"), "+3630") << bigEndian;
        EXPECT_EQ(wide.Find("extev1SMS \xFCzenet"), "T\xFBz ?") << bigEndian;
        EXPECT_EQ(wide.OriginalValue("extev1SMS \xFCzenet"), "T\xC5\xB1z \xE2\x98\x83")
            << bigEndian;
        EXPECT_EQ(wide.OriginalValue("UPHN1"), std::nullopt);
    }
    // UTF-8 without a mark whose last bytes are one letter, no line end after it.
    const SettingsFileContent utf8 = Parsed("[GSM]\nUPHN1=1\nextev1SMS \xC3\xBCzenet=T\xC5\xB1");
    EXPECT_EQ(utf8.Find("extev1SMS \xFCzenet"), "T\xFB");
}

TEST(FileEdgesTest, SameFileSeesThroughNamesAndLinks) {
    test::TempDir dir;
    test::WriteBytes(dir.File("a.am2"), "x");
    test::WriteBytes(dir.File("b.am2"), "x");
    EXPECT_TRUE(SameFile(dir.File("a.am2"), dir.File("a.am2")));
    EXPECT_TRUE(SameFile(dir.File("a.am2"), (dir.path / "." / "a.am2").string()));
    EXPECT_FALSE(SameFile(dir.File("a.am2"), dir.File("b.am2")));
    EXPECT_TRUE(SameFile(dir.File("new.html"), (dir.path / "x" / ".." / "new.html").string()));
    EXPECT_FALSE(SameFile(dir.File("new.html"), dir.File("other.html")));
#ifndef _WIN32
    fs::create_symlink(dir.File("a.am2"), dir.File("link"));
    fs::create_hard_link(dir.File("a.am2"), dir.File("hard"));
    EXPECT_TRUE(SameFile(dir.File("a.am2"), dir.File("link")));
    EXPECT_TRUE(SameFile(dir.File("hard"), dir.File("a.am2")));
#endif
}

TEST(FileEdgesTest, AckMarksShowForOnesOnlyAndBesideTheirNumberInTheReport) {
    SettingsModel model;
    const StringGrid& phones = model.Grid(TableId::kPhoneNumbers);
    EXPECT_EQ(ShowAckMask(model, "1x0 "), "1x0 ");
    EXPECT_EQ(phones.Cell(kAckColumn, 1), "X");
    for (int row = 2; row <= 4; ++row) {
        EXPECT_EQ(phones.Cell(kAckColumn, row), "") << row;
    }
    EXPECT_EQ(ShowAckMask(model, "11111"), "0000");
    for (int row = 1; row <= 4; ++row) {
        EXPECT_EQ(phones.Cell(kAckColumn, row), "") << row;
    }

    model.Rule(TableId::kPhoneNumbers).SetValue("T2", "+3622");
    model.Rule(TableId::kPhoneNumbers).SetValue("T3", "+3633");
    ReportFacts facts;
    facts.ackMask = "0010";
    const std::string html = BuildSettingsReport(model, facts);
    EXPECT_NE(html.find("<th>T3</th><td>+3633 &nbsp;(ACK)</td>"), std::string::npos) << html;
    EXPECT_NE(html.find("<th>T2</th><td>+3622</td>"), std::string::npos);
    EXPECT_EQ(html.find("(ACK)"), html.rfind("(ACK)"));
}

}  // namespace
}  // namespace quelvar::settings

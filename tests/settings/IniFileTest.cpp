// Reading and writing INI text by the platform's profile rules.

#include "settings/IniFile.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace quelvar::settings {
namespace {

TEST(IniFileTest, ReadsByTheProfileRules) {
    const IniFile file = IniFile::Parse(
        "top=0\n[Other]\nkey=other\n"
        "[ gsm ]\n"
        "  Key \t=\t a=b \r\n"
        "KEY=second\n"
        ";comment=1\n"
        "dq=\"  x  \"\nsq='y'\nmixed=\"z'\n"
        "\xE1=lower\n"
        "[GSM]\nlate=1\n");
    EXPECT_EQ(file.Get("GSM", "kEy"), "a=b");
    EXPECT_EQ(file.Get("GSM", "dq"), "  x  ");
    EXPECT_EQ(file.Get("GSM", "sq"), "y");
    EXPECT_EQ(file.Get("GSM", "mixed"), "\"z'");
    EXPECT_EQ(file.Get("other", "KEY"), "other");
    EXPECT_EQ(file.Get("GSM", "\xE1"), "lower");
    // Before any section, a comment, a non-ASCII case fold, a repeated section.
    for (const char* missing : {"top", ";comment", "\xC1", "late"}) {
        EXPECT_EQ(file.Get("GSM", missing), std::nullopt) << missing;
    }
}

TEST(IniFileTest, RepeatsNameWhatTheReaderPassesOverAndTheLineItReads) {
    const IniFile file = IniFile::Parse("[GSM]\nKey=first\n[Other]\nkey=other\n[gsm]\nkey=late\n");
    const IniFile twice = IniFile::Parse("[GSM]\nKey=first\n; key=comment\n KEY = again \n");
    const std::vector<IniFile::Repeat> sections = file.Repeats("GSM");
    ASSERT_EQ(sections.size(), 1u);
    EXPECT_EQ(sections[0].key, "");
    EXPECT_EQ(sections[0].line, 4u);
    EXPECT_EQ(sections[0].firstLine, 0u);
    const std::vector<IniFile::Repeat> keys = twice.Repeats("gsm");
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].key, "KEY");
    EXPECT_EQ(keys[0].value, "again");
    EXPECT_EQ(keys[0].line, 3u);
    EXPECT_EQ(keys[0].firstLine, 1u);
    EXPECT_TRUE(file.Repeats("Other").empty());
    EXPECT_TRUE(file.Repeats("none").empty());
}

TEST(IniFileTest, ValuesComeBackAsSetAndOnlyThoseThatNeedItAreQuoted) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"plain text", "plain text"}, {" lead", "\" lead\""},   {"trail\t", "\"trail\t\""},
        {"\"both\"", "\"\"both\"\""}, {"'both'", "\"'both'\""}, {"\"mixed'", "\"mixed'"},
    };
    for (const auto& [value, written] : cases) {
        IniFile file;
        ASSERT_TRUE(file.Set("GSM", "K", value));
        EXPECT_EQ(file.Serialise(), "[GSM]\r\nK=" + written + "\r\n");
        EXPECT_EQ(IniFile::Parse(file.Serialise()).Get("GSM", "k"), value);
    }
}

// Editing inside an existing section is shown on whole settings files.
TEST(IniFileTest, SetAddsAMissingSectionAtTheEndAndRefusesWhatNoLineCanHold) {
    IniFile file = IniFile::Parse("[A]\nx=1");
    ASSERT_TRUE(file.Set("GSM", "k", "1"));
    EXPECT_EQ(file.Serialise(), "[A]\nx=1\r\n[GSM]\r\nk=1\r\n");
    EXPECT_FALSE(file.Set("GSM", "k", "two\nlines"));
    EXPECT_FALSE(file.Set("GSM", "k", std::string("a\0b", 3)));
    for (const char* key : {"", " k", "a=b", "[k]", ";k"}) {
        EXPECT_FALSE(file.Set("GSM", key, "v")) << key;
    }
    EXPECT_FALSE(file.Set("a]b", "k", "v"));
    EXPECT_EQ(file.Serialise(), "[A]\nx=1\r\n[GSM]\r\nk=1\r\n");
}

}  // namespace
}  // namespace quelvar::settings

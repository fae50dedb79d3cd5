// The provisioning line's values file: what it takes and what it refuses, and each row applied
// to the template and checked as a settings file is.

#include "settings/ValuesFile.h"

#include <gtest/gtest.h>

#include "settings/SettingsCheck.h"

namespace quelvar::settings {
namespace {

TEST(ValuesFile, QuotedFieldsByteOrderMarkAndEitherLineEndAreTaken) {
    const ValuesReadResult read = ParseValuesFile(
        "\xEF\xBB\xBF"
        "ACCID,extev5SMS \xC3\xBCzenet\r\n1A01,\"T\xC5\xB1z, \"\"f\xC3\xB6ld\"\"\"\n"
        "1A02,\n",
        "v.csv");
    ASSERT_TRUE(read.table) << read.error;
    EXPECT_EQ(read.table->keys, (std::vector<std::string>{"ACCID", "extev5SMS \xFCzenet"}));
    ASSERT_EQ(read.table->rows.size(), 2u);
    EXPECT_EQ(read.table->rows[0][1], "T\xFBz, \"f\xF6ld\"");  // Windows-1250
    EXPECT_EQ(read.table->rows[1][1], "");
}

TEST(ValuesFile, FilesThatCannotBeAppliedExactlyAreRefused) {
    const std::pair<const char*, const char*> cases[] = {
        {"ACCID,NOSUCH\n1A01,1\n", "v.csv: \"NOSUCH\" is not the key of a setting"},
        {"ACCID,SMODE\n1A01,1\n", "v.csv: \"SMODE\" is not the key of a setting"},
        {"ACCID,accid\n1A01,1A02\n", "v.csv: \"accid\" is given twice"},
        {"ACCID,UPHN1\n1A01\n", "v.csv: line 2 has 1 fields, the header 2"},
        {"ACCID\n\"1A01\n", "v.csv: a quoted field never ends"},
        {"ACCID\n", "v.csv: no rows of values under the header"},
        {"ACCID\n1A\xC3\xBF\n", "v.csv: line 2 holds a character that Windows-1250 cannot hold"},
    };
    for (const auto& [text, error] : cases) {
        const ValuesReadResult read = ParseValuesFile(text, "v.csv");
        EXPECT_FALSE(read.table) << text;
        EXPECT_EQ(read.error, error) << text;
    }
}

TEST(ValuesFile, EachRowIsAppliedToTheTemplateAndCheckedAlone) {
    SettingsModel base;
    base.Rule(TableId::kPhoneNumbers).SetValue("T2", "+3622");
    const SettingsReadResult templ =
        ParseSettingsFile(*BuildSettingsFile("", base, 0), "template.am2");
    ASSERT_TRUE(templ.content);
    const ValuesReadResult read =
        ParseValuesFile("ACCID,UPHN1,extev1Code\n1A01,+361,130\n1A0G,+36x,13\n", "v.csv");
    ASSERT_TRUE(read.table);
    SettingsModel applied;
    ApplyValuesRow(*templ.content, *read.table, 0, applied);
    EXPECT_EQ(applied.Rule(TableId::kPhoneNumbers).GetValue("T1"), "+361");
    EXPECT_EQ(applied.Rule(TableId::kPhoneNumbers).GetValue("T2"), "+3622");  // the template's
    EXPECT_EQ(applied.AlarmGrid().Cell(1, 1), "130");
    EXPECT_EQ(
        CheckValuesRows(*templ.content, *read.table),
        (std::vector<std::string>{
            "row 3, ACCID: \"1A0G\" holds characters other than hexadecimal digits (0-9, A-F)",
            "row 3, UPHN1: \"+36x\" holds characters other than + and digits",
            "row 3, extev1Code: \"13\" is not 3 characters of * and digits"}));
}

}  // namespace
}  // namespace quelvar::settings

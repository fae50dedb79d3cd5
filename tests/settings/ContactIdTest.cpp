// Contact ID names: a handful of codes from the published list, the patterns a Code cell may
// hold, the search by code and by word, and event lines as the device reports them.

#include "settings/ContactId.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace quelvar::settings {
namespace {

TEST(ContactId, KnownCodesAndPatternsAreSaidInOneLine) {
    const std::pair<const char*, const char*> said[] = {
        {"130", "130 Burglary"},
        {"110", "110 Fire"},
        {"301", "301 AC loss"},
        {"602", "602 Periodic test report"},
        {"13*", "13*: any of 130-139, Burglary alarms"},
        {"15*", "15*: any of 150-159, 24-hour non-burglary alarms"},
        {"3**", "3**: any of 300-399, Troubles"},
        {"1**", "1**: any alarm (100-199)"},
        {"***", "***: any event"},
        {"1*0", "1*0: any code of the form 1?0 (? any digit)"},
        {"731", "731: not in the Contact ID list"},
        {"160", "160: not in the Contact ID list"},
        {"7**", "7**: any of 700-799, not in the Contact ID list"},
        {"", ""},
    };
    for (const auto& [code, meaning] : said) {
        EXPECT_EQ(ContactIdMeaning(code), meaning) << code;
    }
    EXPECT_EQ(ContactIdName("137"), "Tamper");
    EXPECT_FALSE(ContactIdName("13"));
    EXPECT_FALSE(ContactIdName("13*"));
    // The table is in code order, each code once: the lookup relies on it.
    const std::vector<ContactIdEvent>& events = ContactIdEvents();
    EXPECT_TRUE(std::is_sorted(events.begin(), events.end(),
                               [](const auto& a, const auto& b) { return a.code <= b.code; }));
    EXPECT_TRUE(std::all_of(events.begin(), events.end(),
                            [](const auto& e) { return !ContactIdClass(e.code).empty(); }));
}

TEST(ContactId, TheSearchTakesCodeDigitsAndWordsOfNameOrClass) {
    auto codes = [](std::string_view typed) {
        std::vector<int> found;
        for (const ContactIdEvent& event : FindContactIdEvents(typed)) {
            found.push_back(event.code);
        }
        return found;
    };
    EXPECT_EQ(codes("11").size(), 9u);  // 110 to 118
    // A pattern matches position by position, as the Code cell's '*' does.
    EXPECT_EQ(codes("1*0"), (std::vector<int>{100, 110, 120, 130, 140, 150}));
    EXPECT_EQ(ContactIdNote("13*"), "any of 130-139, Burglary alarms");
    EXPECT_EQ(ContactIdNote("731"), "");
    EXPECT_EQ(codes("tamp"), (std::vector<int>{137, 144, 145, 341, 383}));
    EXPECT_EQ(codes("FIRE bypass"), std::vector<int>{571});
    // A class's name finds its codes too.
    EXPECT_EQ(codes("medical"), (std::vector<int>{100, 101, 102}));
    EXPECT_TRUE(codes("xyzzy").empty());
    EXPECT_EQ(codes("").size(), ContactIdEvents().size());
}

TEST(ContactId, EventLinesInContactIdFormAreExplained) {
    EXPECT_EQ(ContactIdLineMeaning("E130 01 001"), "Burglary, partition 01, zone 001");
    EXPECT_EQ(ContactIdLineMeaning("R130 01 001"), "Burglary restored, partition 01, zone 001");
    EXPECT_EQ(ContactIdLineMeaning("E401 02 007"),
              "Open/close by user (opening), partition 02, zone 007");
    EXPECT_EQ(ContactIdLineMeaning("E999 01 001"), "Event 999, partition 01, zone 001");
    for (const char* other :
         {"", "Z1 ALARM", "E13 01 001", "X130 01 001", "E130 1 001", "E130 01 0011"}) {
        EXPECT_FALSE(ContactIdLineMeaning(other)) << other;
    }
}

}  // namespace
}  // namespace quelvar::settings

// SMS texts counted as the GSM alphabet counts them, and the characters it lacks named.

#include "settings/SmsText.h"

#include <gtest/gtest.h>

#include "settings/Cp1250.h"

namespace quelvar::settings {
namespace {

SmsTextFacts Check(const char* utf8) {
    return CheckSmsText(*Cp1250FromUtf8(utf8));
}

TEST(SmsText, ExtensionCharactersCountTwiceAndOthersAreNamedOnce) {
    EXPECT_EQ(Check("Betores Z1").units, 10);
    EXPECT_TRUE(Check("Betores Z1").Fits());
    // é, ä, ö, ü and Ä, Ö, Ü are in the alphabet; € [ ] { } \ ~ ^ | take two places.
    EXPECT_EQ(Check("é ä ö ü Ä Ö Ü").units, 13);
    EXPECT_TRUE(Check("é ä ö ü Ä Ö Ü").Fits());
    EXPECT_EQ(Check("€[]{}\\~^|").units, 18);
    EXPECT_TRUE(Check("€[]{}\\~^|").Fits());
    // Hungarian letters a phone may not show: each named once, in order of appearance.
    const SmsTextFacts hungarian = Check("Betörés ő ű á ő");
    EXPECT_EQ(hungarian.units, 15);
    EXPECT_EQ(Cp1250ToUtf8(hungarian.outside), "őűá");
    EXPECT_EQ(SmsCountText(hungarian, 158), "15 of 158");
    EXPECT_EQ(SmsWarningText(hungarian),
              "ő, ű, á are not in the GSM alphabet: phones may show them otherwise, or the "
              "message may be sent as Unicode, 70 characters per message");
    EXPECT_EQ(SmsWarningText(Check("Tűz")),
              "ű is not in the GSM alphabet: phones may show it otherwise, or the message may "
              "be sent as Unicode, 70 characters per message");
    EXPECT_EQ(SmsWarningText(Check("Fire")), "");
}

}  // namespace
}  // namespace quelvar::settings

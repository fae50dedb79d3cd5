#include "settings/Cp1250.h"

#include <gtest/gtest.h>

#include <string>

namespace quelvar::settings {
namespace {

TEST(Cp1250Test, EveryByteRoundTrips) {
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all += static_cast<char>(b);
    }
    const std::u32string codePoints = Cp1250ToCodePoints(all);
    EXPECT_EQ(Cp1250FromCodePoints(codePoints), all);
    EXPECT_EQ(Cp1250FromUtf8(Cp1250ToUtf8(all)), all);
    // The unassigned bytes stand for the C1 controls of their own value.
    for (const unsigned char b : {0x81, 0x83, 0x88, 0x90, 0x98}) {
        EXPECT_EQ(codePoints[b], char32_t{b});
    }
}

TEST(Cp1250Test, HungarianLettersMapToTheirCodePoints) {
    EXPECT_EQ(Cp1250ToCodePoints("\xF5\xFB\xD5\xDB\xE1\xE9\xC1\xC9\x80"), U"őűŐŰáéÁÉ€");
    EXPECT_EQ(Cp1250ToUtf8("\xC9rz\xE9kenys\xE9g vev\xF5"), "Érzékenység vevő");
    EXPECT_EQ(Cp1250FromUtf8("Űrlap őr"), "\xDBrlap \xF5r");
}

TEST(Cp1250Test, ReportsWhatItCannotEncode) {
    EXPECT_FALSE(Cp1250CanEncode(U'õ'));  // Latin-1, not Central European
    EXPECT_TRUE(Cp1250CanEncode(U'ő'));
    EXPECT_EQ(Cp1250FromCodePoint(U'ő'), 0xF5);

    std::size_t at = 99;
    EXPECT_EQ(Cp1250FromCodePoints(U"ab\x4E2D", &at), std::nullopt);
    EXPECT_EQ(at, 2u);
    EXPECT_EQ(Cp1250FromUtf8("áé😀x", &at), std::nullopt);
    EXPECT_EQ(at, 4u);  // byte offset of the emoji
    // Malformed UTF-8: stray continuation, overlong "/", encoded surrogate, cut sequence.
    for (const char* bad : {"a\x80", "a\xC0\xAF", "a\xED\xA0\x80", "a\xC3"}) {
        at = 99;
        EXPECT_EQ(Cp1250FromUtf8(bad, &at), std::nullopt) << bad;
        EXPECT_EQ(at, 1u);
    }
}

}  // namespace
}  // namespace quelvar::settings

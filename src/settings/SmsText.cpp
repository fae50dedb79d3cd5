// The GSM 7-bit default alphabet and its extension table are those of 3GPP TS 23.038.

#include "settings/SmsText.h"

#include "settings/Cp1250.h"

namespace quelvar::settings {

namespace {

// The default alphabet's 128 characters (ESC, 0x1B, stands for the extension table).
constexpr std::u32string_view kBasic =
    U"@\u00A3$\u00A5\u00E8\u00E9\u00F9\u00EC\u00F2\u00C7\n\u00D8\u00F8\r\u00C5\u00E5"
    U"\u0394_\u03A6\u0393\u039B\u03A9\u03A0\u03A8\u03A3\u0398\u039E\u00C6\u00E6\u00DF\u00C9"
    U" !\"#\u00A4%&'()*+,-./0123456789:;<=>?"
    U"\u00A1ABCDEFGHIJKLMNOPQRSTUVWXYZ\u00C4\u00D6\u00D1\u00DC\u00A7"
    U"\u00BFabcdefghijklmnopqrstuvwxyz\u00E4\u00F6\u00F1\u00FC\u00E0";
// The extension table's characters, each sent as ESC and a second septet.
constexpr std::u32string_view kExtension = U"\f^{}\\[~]|\u20AC";

bool In(std::u32string_view set, char32_t c) {
    return set.find(c) != std::u32string_view::npos;
}

}  // namespace

SmsTextFacts CheckSmsText(std::string_view cp1250) {
    SmsTextFacts facts;
    std::u32string outside;
    for (const char32_t c : Cp1250ToCodePoints(cp1250)) {
        if (In(kBasic, c)) {
            facts.units += 1;
        } else if (In(kExtension, c)) {
            facts.units += 2;
        } else {
            facts.units += 1;
            if (!In(outside, c)) {
                outside += c;
            }
        }
    }
    facts.outside = Cp1250FromCodePoints(outside).value_or("");
    return facts;
}

std::string SmsCountText(const SmsTextFacts& facts, int maxLength) {
    return std::to_string(facts.units) + " of " + std::to_string(maxLength);
}

std::string SmsWarningText(const SmsTextFacts& facts) {
    if (facts.Fits()) {
        return {};
    }
    std::string named;
    for (const char byte : facts.outside) {
        named += (named.empty() ? "" : ", ") + Cp1250ToPrintableUtf8(std::string_view(&byte, 1));
    }
    const bool several = facts.outside.size() > 1;
    return named + (several ? " are" : " is") + " not in the GSM alphabet: phones may show " +
           (several ? "them" : "it") + " otherwise, or the message may be sent as Unicode, " +
           std::to_string(kUnicodeSmsLength) + " characters per message";
}

std::string SmsOutsideNote(std::string_view cp1250) {
    const SmsTextFacts facts = CheckSmsText(cp1250);
    return facts.Fits() ? std::string()
                        : "not in the GSM alphabet: " + Cp1250ToPrintableUtf8(facts.outside);
}

}  // namespace quelvar::settings

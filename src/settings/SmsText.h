#pragma once
// An SMS text as a phone network carries it: counted in the GSM 7-bit default alphabet (the
// characters of its extension table take two places), and the characters outside that alphabet,
// which phones may show otherwise or which make the message go as Unicode (70 characters).

#include <string>
#include <string_view>

namespace quelvar::settings {

// Characters in one Unicode message.
inline constexpr int kUnicodeSmsLength = 70;

struct SmsTextFacts {
    int units = 0;        // places in the GSM alphabet: extension-table characters count two
    std::string outside;  // each character outside the alphabet once, in order, Windows-1250
    bool Fits() const { return outside.empty(); }
};

SmsTextFacts CheckSmsText(std::string_view cp1250);

// "37 of 158"; with characters outside the alphabet the warning after it, in one line (UTF-8):
// "ő, ű are not in the GSM alphabet: phones may show them otherwise, or the message may be sent
// as Unicode, 70 characters per message".
std::string SmsCountText(const SmsTextFacts& facts, int maxLength);
std::string SmsWarningText(const SmsTextFacts& facts);
// "not in the GSM alphabet: őű" for a note beside the text (UTF-8); empty when it fits.
std::string SmsOutsideNote(std::string_view cp1250);

}  // namespace quelvar::settings

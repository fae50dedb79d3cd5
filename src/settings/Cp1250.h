#pragma once
// Windows-1250, the code page of every text in the core, to Unicode and back, for the UI boundary.
// Every byte has a code point: the five bytes the code page leaves unassigned (0x81, 0x83, 0x88,
// 0x90, 0x98) stand for the C1 controls of the same value, so any byte string survives a round
// trip.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quelvar::settings {

// These three never fail: every byte has a code point.
char32_t Cp1250ToCodePoint(unsigned char byte);
std::u32string Cp1250ToCodePoints(std::string_view bytes);
std::string Cp1250ToUtf8(std::string_view bytes);
// As Cp1250ToUtf8 for messages on a terminal: control characters (C0, DEL and the C1 ones of the
// unassigned bytes) as \xHH, so a value can never move the cursor or clear the screen.
std::string Cp1250ToPrintableUtf8(std::string_view bytes);

// The byte of the character; nullopt when the code page has no such character.
std::optional<unsigned char> Cp1250FromCodePoint(char32_t codePoint);
bool Cp1250CanEncode(char32_t codePoint);

// The bytes of the text; nullopt when a character cannot be held, and then, if failedAt is
// given, the index of the first such character is stored there.
std::optional<std::string> Cp1250FromCodePoints(std::u32string_view text,
                                                std::size_t* failedAt = nullptr);
// As above from UTF-8; nullopt also for malformed UTF-8. failedAt receives the byte offset of
// the first sequence that is malformed or names a character the code page lacks.
std::optional<std::string> Cp1250FromUtf8(std::string_view utf8, std::size_t* failedAt = nullptr);

}  // namespace quelvar::settings

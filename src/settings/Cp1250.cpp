#include "settings/Cp1250.h"

#include <array>
#include <cstdint>
#include <cstdio>

namespace quelvar::settings {

namespace {

// Code points of the bytes 0x80 to 0xFF; below 0x80 the code page is ASCII.
constexpr std::array<char16_t, 128> kHighHalf = {
    0x20AC, 0x0081, 0x201A, 0x0083, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x0088, 0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179,  // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x0098, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A,  // 0x98
    0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7,  // 0xA0
    0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B,  // 0xA8
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7,  // 0xB0
    0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C,  // 0xB8
    0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7,  // 0xC0
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E,  // 0xC8
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7,  // 0xD0
    0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,  // 0xD8
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,  // 0xE0
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F,  // 0xE8
    0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7,  // 0xF0
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,  // 0xF8
};

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        // Every character of the code page lies in the basic multilingual plane.
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Decodes one UTF-8 sequence at `pos`, advancing it; nullopt for a malformed one (stray or
// missing continuation bytes, overlong forms, surrogates, values past U+10FFFF).
std::optional<char32_t> NextUtf8(std::string_view text, std::size_t& pos) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    int length = 0;
    char32_t cp = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        ++pos;
        return lead;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2;
        cp = lead & 0x1F;
        minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        cp = lead & 0x0F;
        minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        cp = lead & 0x07;
        minimum = 0x10000;
    } else {
        return std::nullopt;
    }
    if (text.size() - pos < static_cast<std::size_t>(length)) {
        return std::nullopt;
    }
    for (int i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[pos + static_cast<std::size_t>(i)]);
        if ((next & 0xC0) != 0x80) {
            return std::nullopt;
        }
        cp = (cp << 6) | (next & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return std::nullopt;
    }
    pos += static_cast<std::size_t>(length);
    return cp;
}

}  // namespace

char32_t Cp1250ToCodePoint(unsigned char byte) {
    return byte < 0x80 ? char32_t{byte} : char32_t{kHighHalf[byte - 0x80]};
}

std::u32string Cp1250ToCodePoints(std::string_view bytes) {
    std::u32string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        out += Cp1250ToCodePoint(static_cast<unsigned char>(c));
    }
    return out;
}

std::string Cp1250ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        AppendUtf8(out, Cp1250ToCodePoint(static_cast<unsigned char>(c)));
    }
    return out;
}

std::string Cp1250ToPrintableUtf8(std::string_view bytes) {
    std::string text;
    for (const char byte : bytes) {
        const char32_t code = Cp1250ToCodePoint(static_cast<unsigned char>(byte));
        if (code < 0x20 || (code >= 0x7F && code < 0xA0)) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned char>(byte));
            text += escaped;
        } else {
            text += Cp1250ToUtf8(std::string_view(&byte, 1));
        }
    }
    return text;
}

std::optional<unsigned char> Cp1250FromCodePoint(char32_t codePoint) {
    if (codePoint < 0x80) {
        return static_cast<unsigned char>(codePoint);
    }
    // A linear search is plenty for keystrokes and the short texts of the tool.
    for (std::size_t i = 0; i < kHighHalf.size(); ++i) {
        if (char32_t{kHighHalf[i]} == codePoint) {
            return static_cast<unsigned char>(0x80 + i);
        }
    }
    return std::nullopt;
}

bool Cp1250CanEncode(char32_t codePoint) {
    return Cp1250FromCodePoint(codePoint).has_value();
}

std::optional<std::string> Cp1250FromCodePoints(std::u32string_view text, std::size_t* failedAt) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = Cp1250FromCodePoint(text[i]);
        if (!byte) {
            if (failedAt != nullptr) {
                *failedAt = i;
            }
            return std::nullopt;
        }
        out += static_cast<char>(*byte);
    }
    return out;
}

std::optional<std::string> Cp1250FromUtf8(std::string_view utf8, std::size_t* failedAt) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const std::size_t start = pos;
        const auto cp = NextUtf8(utf8, pos);
        const auto byte = cp ? Cp1250FromCodePoint(*cp) : std::nullopt;
        if (!byte) {
            if (failedAt != nullptr) {
                *failedAt = start;
            }
            return std::nullopt;
        }
        out += static_cast<char>(*byte);
    }
    return out;
}

}  // namespace quelvar::settings

#include "settings/TextDecoding.h"

#include <optional>

#include "settings/Cp1250.h"

namespace quelvar::settings {

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";

// One UTF-8 sequence at the front of `text`: its code point and length, or nothing when it is
// malformed (overlong, a surrogate, past U+10FFFF, cut short).
std::optional<std::pair<char32_t, std::size_t>> NextUtf8(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        return std::pair<char32_t, std::size_t>{lead, 1};
    }
    std::size_t length = 0;
    char32_t code = 0;
    char32_t least = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, code = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, code = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, code = lead & 0x07, least = 0x10000;
    } else {
        return std::nullopt;
    }
    if (text.size() < length) {
        return std::nullopt;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) {
            return std::nullopt;
        }
        code = (code << 6) | (byte(i) & 0x3F);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return std::nullopt;
    }
    return std::pair<char32_t, std::size_t>{code, length};
}

bool IsUtf8WithMultiByte(std::string_view text) {
    bool multiByte = false;
    while (!text.empty()) {
        const auto next = NextUtf8(text);
        if (!next) {
            return false;
        }
        multiByte = multiByte || next->second > 1;
        text.remove_prefix(next->second);
    }
    return multiByte;
}

void AppendUtf8(std::string& text, char32_t code) {
    const auto put = [&](unsigned value) { text += static_cast<char>(value); };
    if (code < 0x80) {
        put(code);
    } else if (code < 0x800) {
        put(0xC0 | (code >> 6)), put(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        put(0xE0 | (code >> 12)), put(0x80 | ((code >> 6) & 0x3F)), put(0x80 | (code & 0x3F));
    } else {
        put(0xF0 | (code >> 18)), put(0x80 | ((code >> 12) & 0x3F));
        put(0x80 | ((code >> 6) & 0x3F)), put(0x80 | (code & 0x3F));
    }
}

void Append(DecodedText& decoded, std::optional<char32_t> code) {
    const std::optional<unsigned char> byte =
        code ? Cp1250FromCodePoint(*code) : std::optional<unsigned char>();
    if (!byte) {
        decoded.replaced.push_back(decoded.bytes.size());
    }
    decoded.bytes += static_cast<char>(byte.value_or('?'));
    constexpr char32_t kReplacementCharacter = 0xFFFD;
    AppendUtf8(decoded.utf8, code.value_or(kReplacementCharacter));
}

// The UTF-8 form is only worth its memory where something was replaced.
DecodedText Finished(DecodedText decoded) {
    if (decoded.replaced.empty()) {
        decoded.utf8.clear();
        decoded.utf8.shrink_to_fit();
    }
    return decoded;
}

DecodedText FromUtf8(std::string_view text) {
    DecodedText decoded;
    decoded.encoding = TextEncoding::kUtf8;
    while (!text.empty()) {
        const auto next = NextUtf8(text);
        Append(decoded, next ? std::optional<char32_t>(next->first) : std::nullopt);
        text.remove_prefix(next ? next->second : 1);
    }
    return Finished(std::move(decoded));
}

DecodedText FromUtf16(std::string_view text, bool bigEndian) {
    DecodedText decoded;
    decoded.encoding = TextEncoding::kUtf16;
    const auto unit = [&](std::size_t i) -> char32_t {
        const auto a = static_cast<unsigned char>(text[i]);
        const auto b = static_cast<unsigned char>(text[i + 1]);
        return bigEndian ? (a << 8 | b) : (b << 8 | a);
    };
    std::size_t i = 0;
    for (; i + 1 < text.size(); i += 2) {
        const char32_t first = unit(i);
        if (first >= 0xD800 && first <= 0xDBFF && i + 3 < text.size()) {
            const char32_t second = unit(i + 2);
            if (second >= 0xDC00 && second <= 0xDFFF) {
                Append(decoded, 0x10000 + ((first - 0xD800) << 10) + (second - 0xDC00));
                i += 2;
                continue;
            }
        }
        const bool surrogate = first >= 0xD800 && first <= 0xDFFF;
        Append(decoded, surrogate ? std::nullopt : std::optional<char32_t>(first));
    }
    if (i < text.size()) {
        Append(decoded, std::nullopt);  // half a unit at the end
    }
    return Finished(std::move(decoded));
}

}  // namespace

DecodedText DecodeSettingsText(std::string_view raw) {
    if (raw.starts_with(kUtf8Mark)) {
        return FromUtf8(raw.substr(kUtf8Mark.size()));
    }
    if (raw.starts_with(kUtf16LeMark) || raw.starts_with(kUtf16BeMark)) {
        return FromUtf16(raw.substr(2), raw.starts_with(kUtf16BeMark));
    }
    if (IsUtf8WithMultiByte(raw)) {
        return FromUtf8(raw);
    }
    return DecodedText{std::string(raw), TextEncoding::kWindows1250, {}, {}};
}

}  // namespace quelvar::settings

#pragma once
// Settings files as other editors save them: the bytes of a file in Windows-1250, UTF-8 or
// UTF-16, turned into the Windows-1250 text the core works on.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quelvar::settings {

enum class TextEncoding { kWindows1250, kUtf8, kUtf16 };

struct DecodedText {
    std::string bytes;  // Windows-1250
    TextEncoding encoding = TextEncoding::kWindows1250;
    // Offsets in `bytes` where a character the code page cannot hold (or a malformed sequence)
    // was replaced by "?".
    std::vector<std::size_t> replaced;
    // The text as the file holds it, in UTF-8 (malformed sequences as U+FFFD), for showing
    // what "?" stands for; only for UTF-8 and UTF-16 files that had a replacement.
    std::string utf8;
};

// UTF-8 with a byte-order mark, or valid UTF-8 with at least one multi-byte sequence (which a
// Windows-1250 settings file never is: its keys hold "ü" as the single byte 0xFC), and UTF-16
// with a byte-order mark, are converted; anything else is taken as Windows-1250 unchanged. Never
// fails: what cannot be converted becomes "?", its offset in `replaced`.
DecodedText DecodeSettingsText(std::string_view raw);

}  // namespace quelvar::settings

#pragma once
// The device password without putting it in the process list: from a file, from the
// environment, or typed at a prompt that does not echo it.

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace quelvar::cli {

inline constexpr const char* kPasswordVariable = "QUELVAR_PASSWORD";
inline constexpr const char* kNewPasswordVariable = "QUELVAR_NEW_PASSWORD";

// Longest first line a password file may have, its byte-order mark and line end not counted.
inline constexpr std::size_t kMaxPasswordLine = 64;
inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// The first line of the file, a UTF-8 byte-order mark, blanks and line end dropped; reads no
// more than the mark and kMaxPasswordLine + 1 bytes. An error line when it cannot be read or the
// line is longer; `warning` gets a line when users other than the owner may read the file.
std::optional<std::string> ReadPasswordFile(const std::string& path, std::string& error,
                                            std::string& warning);

// A prompt on `err` for a line typed without echo, when standard input is a terminal; nothing
// otherwise, or when the typing was interrupted.
using PasswordPrompt = std::function<std::optional<std::string>()>;
PasswordPrompt TerminalPrompt(std::ostream& err);

}  // namespace quelvar::cli

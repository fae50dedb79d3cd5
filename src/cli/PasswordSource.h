#pragma once
// The device password without putting it in the process list: from a file, from the
// environment, or typed at a prompt that does not echo it.

#include <functional>
#include <optional>
#include <ostream>
#include <string>

namespace quelvar::cli {

inline constexpr const char* kPasswordVariable = "QUELVAR_PASSWORD";
inline constexpr const char* kNewPasswordVariable = "QUELVAR_NEW_PASSWORD";

// The first line of the file, blanks and line end dropped; an error line when it cannot be read.
std::optional<std::string> ReadPasswordFile(const std::string& path, std::string& error);

// A prompt on `err` for a line typed without echo, when standard input is a terminal; nothing
// otherwise, or when the typing was interrupted.
using PasswordPrompt = std::function<std::optional<std::string>()>;
PasswordPrompt TerminalPrompt(std::ostream& err);

}  // namespace quelvar::cli

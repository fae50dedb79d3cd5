#pragma once
// The one place where the core's Windows-1250 bytes meet Qt's Unicode strings.

#include <QString>
#include <optional>
#include <string>

namespace quelvar::ui {

QString FromCp1250(const std::string& bytes);
// Nothing when the text holds a character the code page cannot hold.
std::optional<std::string> ToCp1250(const QString& text);

// A file name's bytes as the system gives them (UTF-8), where a byte that is no part of UTF-8
// (a Latin-1 name from an old archive) becomes U+DC00 + the byte, so that ToLocalPath gives
// the same bytes back and the file is found.
QString FromLocalPath(const std::string& bytes);
// The bytes to hand the system for a name: UTF-8, those U+DC80 to U+DCFF as their bytes; on
// Windows the name as Qt encodes it (and FromLocalPath decodes it so).
std::string ToLocalPath(const QString& name);

}  // namespace quelvar::ui

#pragma once
// The one place where the core's Windows-1250 bytes meet Qt's Unicode strings.

#include <QString>
#include <optional>
#include <string>

namespace quelvar::ui {

QString FromCp1250(const std::string& bytes);
// Nothing when the text holds a character the code page cannot hold.
std::optional<std::string> ToCp1250(const QString& text);

}  // namespace quelvar::ui

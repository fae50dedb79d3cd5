#include "ui/QtText.h"

#include "settings/Cp1250.h"

namespace quelvar::ui {

QString FromCp1250(const std::string& bytes) {
    return QString::fromStdU32String(settings::Cp1250ToCodePoints(bytes));
}

std::optional<std::string> ToCp1250(const QString& text) {
    return settings::Cp1250FromCodePoints(text.toStdU32String());
}

}  // namespace quelvar::ui

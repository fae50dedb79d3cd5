#include "ui/DialogFont.h"

#include <QStringList>

namespace quelvar::ui {

QFont DialogFont(int pointSize, bool bold) {
    QFont font;
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("Segoe UI"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                      QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(pointSize);
    font.setBold(bold);
    return font;
}

}  // namespace quelvar::ui

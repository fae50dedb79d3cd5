#pragma once
// The face of the dialogs: Tahoma, or where it is missing the nearest common sans-serif.

#include <QFont>

namespace quelvar::ui {

QFont DialogFont(int pointSize, bool bold = false);

}  // namespace quelvar::ui

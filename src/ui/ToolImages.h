#pragma once
// The tool bar's pictures and the application icon, drawn rather than shipped.

#include <QIcon>
#include <QPixmap>

namespace quelvar::ui {

enum class ToolImage {
    kOpenFile = 0,
    kSaveFile = 1,
    kSaveToDevice = 2,
    kPassword = 3,
    kSaveToDevicePending = 4,
    kMore = 5
};

// A 32 x 32 picture of the tool.
QPixmap DrawToolImage(ToolImage image);
// The application's icon at the given edge length.
QPixmap DrawAppIcon(int size);
QIcon AppIcon();

}  // namespace quelvar::ui

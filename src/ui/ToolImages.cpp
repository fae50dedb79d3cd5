#include "ui/ToolImages.h"

#include <QPainter>
#include <QPainterPath>

namespace quelvar::ui {

namespace {

constexpr int kSize = 32;

void DrawFolder(QPainter& p) {
    p.setPen(QPen(QColor(140, 100, 20), 1.2));
    p.setBrush(QColor(240, 196, 80));
    QPainterPath back;
    back.moveTo(3, 8);
    back.lineTo(12, 8);
    back.lineTo(14, 11);
    back.lineTo(28, 11);
    back.lineTo(28, 26);
    back.lineTo(3, 26);
    back.closeSubpath();
    p.drawPath(back);
    p.setBrush(QColor(252, 220, 120));
    QPolygonF front({{6, 15}, {30, 15}, {27, 26}, {3, 26}});
    p.drawPolygon(front);
}

void DrawFloppy(QPainter& p) {
    p.setPen(QPen(QColor(20, 40, 90), 1.2));
    p.setBrush(QColor(50, 90, 170));
    p.drawRoundedRect(QRectF(4, 4, 24, 24), 2, 2);
    p.setBrush(QColor(235, 235, 235));
    p.drawRect(QRectF(8, 4, 16, 9));
    p.setBrush(QColor(50, 90, 170));
    p.drawRect(QRectF(19, 6, 3, 5));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(8, 17, 16, 11));
}

void DrawDevice(QPainter& p) {
    // The communicator: a box with an antenna.
    p.setPen(QPen(QColor(40, 40, 40), 1.2));
    p.setBrush(QColor(90, 150, 90));
    p.drawRoundedRect(QRectF(5, 14, 22, 14), 2, 2);
    p.drawLine(QPointF(22, 14), QPointF(25, 5));
    p.setBrush(QColor(210, 240, 210));
    p.drawRect(QRectF(8, 17, 10, 5));
}

void DrawArrowDown(QPainter& p, const QColor& colour) {
    p.setPen(QPen(colour.darker(140), 1));
    p.setBrush(colour);
    QPolygonF arrow({{9, 1}, {15, 1}, {15, 7}, {19, 7}, {12, 14}, {5, 7}, {9, 7}});
    p.drawPolygon(arrow);
}

void DrawKey(QPainter& p) {
    p.setPen(QPen(QColor(120, 90, 10), 1.5));
    p.setBrush(QColor(230, 190, 60));
    p.drawEllipse(QRectF(3, 9, 13, 13));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(7, 13, 5, 5));
    p.setBrush(QColor(230, 190, 60));
    p.drawRect(QRectF(15, 14, 14, 4));
    p.drawRect(QRectF(23, 18, 3, 5));
    p.drawRect(QRectF(27, 18, 2, 4));
}

void DrawPendingBadge(QPainter& p) {
    // A red disc with "!": edits wait to be written.
    p.setPen(QPen(QColor(120, 0, 0), 1));
    p.setBrush(QColor(220, 30, 30));
    p.drawEllipse(QRectF(17, 0, 15, 15));
    p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(24.5, 3.5), QPointF(24.5, 8.5));
    p.drawPoint(QPointF(24.5, 11.5));
}

void DrawMore(QPainter& p) {
    // Three dots: a menu of further actions.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 90, 140));
    for (int i = 0; i < 3; ++i) {
        p.drawEllipse(QRectF(5 + 9 * i, 13, 6, 6));
    }
}

}  // namespace

QPixmap DrawToolImage(ToolImage image) {
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    switch (image) {
        case ToolImage::kOpenFile:
            DrawFolder(p);
            break;
        case ToolImage::kSaveFile:
            DrawFloppy(p);
            break;
        case ToolImage::kSaveToDevice:
            DrawDevice(p);
            DrawArrowDown(p, QColor(60, 120, 220));
            break;
        case ToolImage::kPassword:
            DrawKey(p);
            break;
        case ToolImage::kSaveToDevicePending:
            DrawDevice(p);
            DrawArrowDown(p, QColor(240, 140, 20));
            DrawPendingBadge(p);
            break;
        case ToolImage::kMore:
            DrawMore(p);
            break;
    }
    return pixmap;
}

QPixmap DrawAppIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 80, 150));
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
    p.setPen(QPen(Qt::white, 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(40, 30), QPointF(48, 10));
    p.setBrush(QColor(120, 200, 120));
    p.setPen(QPen(Qt::white, 3));
    p.drawRoundedRect(QRectF(12, 28, 36, 24), 4, 4);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    for (int i = 0; i < 4; ++i) {
        p.drawRect(QRectF(17 + i * 6, 44 - i * 3, 4, 4 + i * 3));
    }
    return pixmap;
}

QIcon AppIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addPixmap(DrawAppIcon(size));
    }
    return icon;
}

}  // namespace quelvar::ui

#include "ui/GridCellDelegate.h"

#include <QPainter>

namespace quelvar::ui {

void GridCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    const bool selected = cell.state & QStyle::State_Selected;
    QBrush background = cell.backgroundBrush;
    QColor text = cell.palette.color(QPalette::Text);
    if (selected) {
        background = cell.palette.highlight();
        text = cell.palette.color(QPalette::HighlightedText);
    } else if (const QVariant foreground = index.data(Qt::ForegroundRole); foreground.isValid()) {
        text = foreground.value<QBrush>().color();
    }
    painter->save();
    if (background.style() != Qt::NoBrush) {
        painter->fillRect(cell.rect, background);
    }
    painter->setClipRect(cell.rect);
    painter->setFont(cell.font);
    painter->setPen(text);
    const QString content = index.data(Qt::DisplayRole).toString();
    // A text that just fits a narrow column gives up the margin rather than its last letter.
    const int margin =
        painter->fontMetrics().horizontalAdvance(content) + 3 > cell.rect.width() ? 0 : 2;
    painter->drawText(cell.rect.adjusted(margin, 0, -1, 0), Qt::AlignLeft | Qt::AlignVCenter,
                      content);
    painter->restore();
}

}  // namespace quelvar::ui

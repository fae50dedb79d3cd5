#pragma once
// Draws a grid cell the way string grids do: the text two pixels in from the left, cut at the
// cell's edge rather than shortened with an ellipsis, so narrow columns such as "ACK" stay whole.

#include <QStyledItemDelegate>

namespace quelvar::ui {

class GridCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

}  // namespace quelvar::ui

#include "ui/StringGridView.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>

#include "ui/GridCellDelegate.h"

namespace quelvar::ui {

StringGridView::StringGridView(settings::StringGrid& grid, QWidget* parent)
    : QTableView(parent), model_(grid) {
    setModel(&model_);
    setItemDelegate(new GridCellDelegate(this));
    // The fixed rows and columns are cells of the grid itself, so Qt's own headers go.
    horizontalHeader()->hide();
    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(kRowHeight);
    verticalHeader()->setDefaultSectionSize(kRowHeight);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setMinimumSectionSize(1);
    setShowGrid(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setWordWrap(false);
    setTabKeyNavigation(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    ApplyColumnWidths();
    ApplyEditTriggers(grid.EditingEnabled());
    connect(&model_, &StringGridModel::columnWidthChanged, this,
            [this](int col, int width) { setColumnWidth(col, width); });
    connect(&model_, &StringGridModel::editingSwitched, this, &StringGridView::ApplyEditTriggers);
    connect(&model_, &StringGridModel::gridSelectionChanged, this,
            &StringGridView::ShowGridSelection);
    ShowGridSelection(grid.Col(), grid.Row());
}

void StringGridView::scrollTo(const QModelIndex& index, ScrollHint hint) {
    if (autoScrollToSelection_) {
        QTableView::scrollTo(index, hint);
    }
}

QRect StringGridView::CellRect(int col, int row) const {
    return visualRect(model_.index(row, col));
}

void StringGridView::ApplyColumnWidths() {
    for (int col = 0; col < model_.Grid().ColCount(); ++col) {
        setColumnWidth(col, model_.Grid().ColWidth(col));
    }
}

void StringGridView::ApplyEditTriggers(bool editing) {
    setEditTriggers(editing ? QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                  QAbstractItemView::AnyKeyPressed
                            : QAbstractItemView::NoEditTriggers);
}

void StringGridView::ShowGridSelection(int col, int row) {
    const QModelIndex index = model_.index(row, col);
    if (index.isValid() && index != currentIndex()) {
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    }
}

void StringGridView::mousePressEvent(QMouseEvent* event) {
    swallowRelease_ = false;  // a new press is a new click
    const QModelIndex index = indexAt(event->position().toPoint());
    pressOnCell_ = index.isValid() && !model_.IsFixed(index.column(), index.row());
    if (index.isValid() && !pressOnCell_) {
        event->accept();  // a fixed cell takes no selection
        return;
    }
    QTableView::mousePressEvent(event);
}

void StringGridView::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second click of a double click is no click of its own.
    swallowRelease_ = true;
    if (model_.Grid().EditingEnabled()) {
        QTableView::mouseDoubleClickEvent(event);
    } else {
        event->accept();
    }
}

void StringGridView::mouseReleaseEvent(QMouseEvent* event) {
    QTableView::mouseReleaseEvent(event);
    const bool swallow = swallowRelease_;
    swallowRelease_ = false;
    const QModelIndex index = indexAt(event->position().toPoint());
    const bool onSelectable = index.isValid() && !model_.IsFixed(index.column(), index.row());
    const bool click =
        event->button() == Qt::LeftButton && pressOnCell_ && onSelectable && !swallow;
    pressOnCell_ = false;
    if (click) {
        emit cellClicked(this);
    }
    releaseOnSelected_ = onSelectable && index == currentIndex();
    emit mouseReleased(this, event->button());
    releaseOnSelected_ = true;
}

void StringGridView::keyPressEvent(QKeyEvent* event) {
    movingByKeyboard_ = true;
    QTableView::keyPressEvent(event);
    movingByKeyboard_ = false;
}

void StringGridView::keyReleaseEvent(QKeyEvent* event) {
    QTableView::keyReleaseEvent(event);
    emit keyReleased(this, event->key());
}

void StringGridView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    if (!current.isValid()) {
        return;
    }
    model_.Grid().SetSelection(current.column(), current.row());
    if (movingByKeyboard_ && current != previous) {
        emit cellClicked(this);
    }
}

}  // namespace quelvar::ui

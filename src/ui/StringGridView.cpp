#include "ui/StringGridView.h"

#include <QCoreApplication>
#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>

#include "ui/GridCellDelegate.h"

namespace quelvar::ui {

StringGridView::StringGridView(settings::StringGrid& grid, QWidget* parent)
    : QTableView(parent), model_(grid) {
    setModel(&model_);
    setItemDelegate(new GridCellDelegate(this));
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
    BuildFixedBands();
    ApplyColumnWidths();
    ApplyEditTriggers(grid.EditingEnabled());
    connect(&model_, &StringGridModel::columnWidthChanged, this, &StringGridView::SetColumnWidth);
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

QTableView* StringGridView::MakeBand(bool fixedRows, bool fixedCols) {
    auto* band = new QTableView(this);
    band->setModel(&model_);
    band->setItemDelegate(new GridCellDelegate(band));
    band->horizontalHeader()->hide();
    band->verticalHeader()->hide();
    band->verticalHeader()->setMinimumSectionSize(kRowHeight);
    band->verticalHeader()->setDefaultSectionSize(kRowHeight);
    band->horizontalHeader()->setMinimumSectionSize(1);
    band->setFrameShape(QFrame::NoFrame);
    band->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    band->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    band->setHorizontalScrollMode(horizontalScrollMode());
    band->setVerticalScrollMode(verticalScrollMode());
    band->setSelectionMode(QAbstractItemView::NoSelection);
    band->setEditTriggers(QAbstractItemView::NoEditTriggers);
    band->setFocusPolicy(Qt::NoFocus);
    band->setWordWrap(false);
    const settings::StringGrid& grid = model_.Grid();
    for (int row = 0; row < grid.RowCount(); ++row) {
        band->setRowHidden(row, (row < grid.FixedRows()) != fixedRows);
    }
    for (int col = 0; col < grid.ColCount(); ++col) {
        band->setColumnHidden(col, (col < grid.FixedCols()) != fixedCols);
    }
    band->viewport()->installEventFilter(this);
    return band;
}

void StringGridView::BuildFixedBands() {
    const settings::StringGrid& grid = model_.Grid();
    for (int row = 0; row < grid.FixedRows(); ++row) {
        setRowHidden(row, true);
    }
    for (int col = 0; col < grid.FixedCols(); ++col) {
        setColumnHidden(col, true);
    }
    // The headers only keep the room free; the bands lie over them.
    for (QHeaderView* header : {horizontalHeader(), verticalHeader()}) {
        header->setSectionsClickable(false);
    }
    horizontalHeader()->setVisible(grid.FixedRows() > 0);
    horizontalHeader()->setFixedHeight(grid.FixedRows() * kRowHeight);
    verticalHeader()->setVisible(grid.FixedCols() > 0);
    if (grid.FixedRows() > 0) {
        topBand_ = MakeBand(true, false);
        connect(horizontalScrollBar(), &QScrollBar::valueChanged, topBand_->horizontalScrollBar(),
                &QScrollBar::setValue);
    }
    if (grid.FixedCols() > 0) {
        leftBand_ = MakeBand(false, true);
        connect(verticalScrollBar(), &QScrollBar::valueChanged, leftBand_->verticalScrollBar(),
                &QScrollBar::setValue);
    }
    if (topBand_ && leftBand_) {
        cornerBand_ = MakeBand(true, true);
    }
}

void StringGridView::updateGeometries() {
    QTableView::updateGeometries();
    const QRect top = horizontalHeader()->geometry();
    const QRect left = verticalHeader()->geometry();
    if (topBand_) {
        topBand_->setGeometry(top);
        topBand_->horizontalScrollBar()->setValue(horizontalScrollBar()->value());
        topBand_->raise();
    }
    if (leftBand_) {
        leftBand_->setGeometry(left);
        leftBand_->verticalScrollBar()->setValue(verticalScrollBar()->value());
        leftBand_->raise();
    }
    if (cornerBand_) {
        cornerBand_->setGeometry(left.left(), top.top(), left.width(), top.height());
        cornerBand_->raise();
    }
}

bool StringGridView::eventFilter(QObject* watched, QEvent* event) {
    const bool onBand = (topBand_ && watched == topBand_->viewport()) ||
                        (leftBand_ && watched == leftBand_->viewport()) ||
                        (cornerBand_ && watched == cornerBand_->viewport());
    if (!onBand) {
        return QTableView::eventFilter(watched, event);
    }
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            swallowRelease_ = false;
            pressOnCell_ = false;
            return true;  // a fixed cell takes no selection
        case QEvent::MouseButtonRelease:
            // Over a fixed cell, never the selected one.
            releaseOnSelected_ = false;
            emit mouseReleased(this, static_cast<QMouseEvent*>(event)->button());
            releaseOnSelected_ = true;
            return true;
        case QEvent::Wheel:
            QCoreApplication::sendEvent(viewport(), event);
            return true;
        default:
            return false;
    }
}

QTableView* StringGridView::BandOf(int col, int row) const {
    const bool fixedRow = row < model_.Grid().FixedRows();
    const bool fixedCol = col < model_.Grid().FixedCols();
    return fixedRow ? (fixedCol ? cornerBand_ : topBand_) : (fixedCol ? leftBand_ : nullptr);
}

QWidget* StringGridView::CellViewport(int col, int row) const {
    QTableView* band = BandOf(col, row);
    return band ? band->viewport() : viewport();
}

QRect StringGridView::CellRect(int col, int row) const {
    const QTableView* band = BandOf(col, row);
    return (band ? band : static_cast<const QTableView*>(this))->visualRect(model_.index(row, col));
}

void StringGridView::SetColumnWidth(int col, int width) {
    setColumnWidth(col, width);
    for (QTableView* band : {topBand_, leftBand_, cornerBand_}) {
        if (band) {
            band->setColumnWidth(col, width);
        }
    }
    if (col < model_.Grid().FixedCols()) {
        int fixedWidth = 0;
        for (int c = 0; c < model_.Grid().FixedCols(); ++c) {
            fixedWidth += model_.Grid().ColWidth(c);
        }
        verticalHeader()->setFixedWidth(fixedWidth);
    }
}

void StringGridView::ApplyColumnWidths() {
    for (int col = 0; col < model_.Grid().ColCount(); ++col) {
        SetColumnWidth(col, model_.Grid().ColWidth(col));
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
        // Only the grid with the keyboard focus shows its current cell as selected.
        selectionModel()->setCurrentIndex(
            index, hasFocus() ? QItemSelectionModel::ClearAndSelect : QItemSelectionModel::Clear);
    }
}

void StringGridView::focusInEvent(QFocusEvent* event) {
    QTableView::focusInEvent(event);
    if (currentIndex().isValid()) {
        selectionModel()->select(currentIndex(), QItemSelectionModel::ClearAndSelect);
    }
}

void StringGridView::focusOutEvent(QFocusEvent* event) {
    QTableView::focusOutEvent(event);
    // A dialog or menu opened from this grid leaves its cell shown; another grid takes it.
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason) {
        selectionModel()->clearSelection();
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
    const QModelIndex current = currentIndex();
    const bool onCell = current.isValid() && !model_.IsFixed(current.column(), current.row());
    const int key = event->key();
    // Space types into a cell being edited in place; otherwise it acts as Enter does.
    const bool activates = key == Qt::Key_Return || key == Qt::Key_Enter ||
                           (key == Qt::Key_Space && !model_.Grid().EditingEnabled());
    if (onCell && activates && event->modifiers() == Qt::NoModifier && state() != EditingState) {
        event->accept();
        if (!event->isAutoRepeat()) {
            emit keyActivated(this);
        }
        return;
    }
    QTableView::keyPressEvent(event);
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
}

}  // namespace quelvar::ui

#pragma once
// A string grid on screen: fixed rows and columns drawn as header cells that stay in place
// while the data scrolls, 18-pixel rows, lines between all cells, the grid's column widths,
// in-place editing only while the grid allows it, and the notifications the editing handlers
// act on.

#include <QTableView>

#include "settings/StringGrid.h"
#include "ui/StringGridModel.h"

namespace quelvar::ui {

class StringGridView : public QTableView {
    Q_OBJECT
  public:
    static constexpr int kRowHeight = 18;

    explicit StringGridView(settings::StringGrid& grid, QWidget* parent = nullptr);

    settings::StringGrid& Grid() { return model_.Grid(); }
    StringGridModel& Model() { return model_; }
    // The widget that shows a cell: the data viewport, or for a fixed cell the band that
    // holds it in place; and the cell's rectangle in that widget.
    QWidget* CellViewport(int col, int row) const;
    QRect CellRect(int col, int row) const;
    // Off: the grid never scrolls by itself to bring the selected cell into view, so a grid
    // narrower than its columns keeps its captions in sight.
    void SetAutoScrollToSelection(bool on) { autoScrollToSelection_ = on; }
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    // While mouseReleased is delivered: whether the button came up over the selected cell.
    // True at any other time, so a handler called otherwise acts on the selection.
    bool LastReleaseOnSelectedCell() const { return releaseOnSelected_; }

  signals:
    // The left button released over a cell outside the fixed ones (also the selected one;
    // not the second click of a double click). Moving the selection is no click.
    void cellClicked(StringGridView* grid);
    // Space or Enter on the selected cell: what a click on it does.
    void keyActivated(StringGridView* grid);
    void keyReleased(StringGridView* grid, int key);
    // Any mouse button released over the grid.
    void mouseReleased(StringGridView* grid, Qt::MouseButton button);

  protected:
    void updateGeometries() override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    // Fixed cells are shown by views of their own over the room the headers keep free, so
    // they keep their look and stay put; the data view hides them.
    QTableView* MakeBand(bool fixedRows, bool fixedCols);
    void BuildFixedBands();
    void SetColumnWidth(int col, int width);
    QTableView* BandOf(int col, int row) const;
    void ApplyColumnWidths();
    void ApplyEditTriggers(bool editing);
    void ShowGridSelection(int col, int row);

    StringGridModel model_;
    QTableView* topBand_ = nullptr;     // the fixed rows, scrolled sideways with the data
    QTableView* leftBand_ = nullptr;    // the fixed columns, scrolled up and down with it
    QTableView* cornerBand_ = nullptr;  // where both meet
    bool swallowRelease_ = false;
    bool pressOnCell_ = false;
    bool releaseOnSelected_ = true;
    bool autoScrollToSelection_ = true;
};

}  // namespace quelvar::ui

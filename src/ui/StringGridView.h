#pragma once
// A string grid on screen: fixed rows and columns drawn as header cells, 18-pixel rows,
// lines between all cells, the grid's column widths, in-place editing only while the grid
// allows it, and the notifications the editing handlers act on.

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
    // The widget rectangle of a cell, for tests and for placing dialogs.
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
    // not the second click of a double click), or the selected cell moved by the keyboard.
    void cellClicked(StringGridView* grid);
    void keyReleased(StringGridView* grid, int key);
    // Any mouse button released over the grid.
    void mouseReleased(StringGridView* grid, Qt::MouseButton button);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

  private:
    void ApplyColumnWidths();
    void ApplyEditTriggers(bool editing);
    void ShowGridSelection(int col, int row);

    StringGridModel model_;
    bool movingByKeyboard_ = false;
    bool swallowRelease_ = false;
    bool pressOnCell_ = false;
    bool releaseOnSelected_ = true;
    bool autoScrollToSelection_ = true;
};

}  // namespace quelvar::ui

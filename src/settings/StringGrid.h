#pragma once
// The grid of the configuration tool as data: cells of 8-bit text (Windows-1250 bytes) addressed
// (column, row), with fixed header rows and columns counted in. A view follows it by subscribing.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace quelvar::settings {

// What a notification reports. Cell: (col, row) of a cell whose text changed. ColumnWidth:
// (col, -1). Selection: the newly selected (col, row). Editing: (-1, -1).
enum class GridChange { kCell, kColumnWidth, kSelection, kEditing };

class StringGrid {
  public:
    using Listener = std::function<void(GridChange change, int col, int row)>;
    using ListenerId = std::uint64_t;

    static constexpr int kDefaultColWidth = 64;

    // Negative counts are taken as 0; fixed counts are limited to the grid's size. The selection
    // starts on the first non-fixed cell, or on (-1, -1) when the grid has none.
    StringGrid(int columns, int rows, int fixedColumns, int fixedRows);

    // Views hold on to a grid, so it stays where it was made.
    StringGrid(const StringGrid&) = delete;
    StringGrid& operator=(const StringGrid&) = delete;

    int ColCount() const { return columns_; }
    int RowCount() const { return rows_; }
    int FixedCols() const { return fixedColumns_; }
    int FixedRows() const { return fixedRows_; }
    bool Contains(int col, int row) const;

    // The cell's text; the empty text for a cell outside the grid.
    std::string Cell(int col, int row) const;
    // False, and nothing changed, outside the grid. Listeners hear only of a text that differs.
    bool SetCell(int col, int row, const std::string& text);

    // The column's width in pixels; 0 for a column outside the grid.
    int ColWidth(int col) const;
    // False, and nothing changed, for a column outside the grid or a negative width.
    bool SetColWidth(int col, int pixels);

    int Col() const { return selectedCol_; }
    int Row() const { return selectedRow_; }
    // False, and the selection kept, for a fixed cell or one outside the grid.
    bool SetSelection(int col, int row);

    bool EditingEnabled() const { return editingEnabled_; }
    void SetEditingEnabled(bool enabled);

    // Listeners are called after the change, in the order they subscribed; one that unsubscribes
    // during a notification is not called again, one that subscribes is called from the next one.
    ListenerId Subscribe(Listener listener);
    // False when no listener has the id.
    bool Unsubscribe(ListenerId id);

  private:
    std::size_t Index(int col, int row) const;
    bool IsSubscribed(ListenerId id) const;
    void Notify(GridChange change, int col, int row);

    int columns_;
    int rows_;
    int fixedColumns_;
    int fixedRows_;
    std::vector<std::string> cells_;
    std::vector<int> widths_;
    int selectedCol_ = -1;
    int selectedRow_ = -1;
    bool editingEnabled_ = false;
    ListenerId nextId_ = 1;
    std::vector<std::pair<ListenerId, Listener>> listeners_;
};

}  // namespace quelvar::settings

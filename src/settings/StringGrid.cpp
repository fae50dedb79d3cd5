#include "settings/StringGrid.h"

#include <algorithm>
#include <utility>

namespace quelvar::settings {

StringGrid::StringGrid(int columns, int rows, int fixedColumns, int fixedRows)
    : columns_(std::max(columns, 0)),
      rows_(std::max(rows, 0)),
      fixedColumns_(std::clamp(fixedColumns, 0, columns_)),
      fixedRows_(std::clamp(fixedRows, 0, rows_)),
      cells_(static_cast<std::size_t>(columns_) * static_cast<std::size_t>(rows_)),
      widths_(static_cast<std::size_t>(columns_), kDefaultColWidth) {
    if (fixedColumns_ < columns_ && fixedRows_ < rows_) {
        selectedCol_ = fixedColumns_;
        selectedRow_ = fixedRows_;
    }
}

bool StringGrid::Contains(int col, int row) const {
    return col >= 0 && col < columns_ && row >= 0 && row < rows_;
}

std::size_t StringGrid::Index(int col, int row) const {
    return static_cast<std::size_t>(row) * static_cast<std::size_t>(columns_) +
           static_cast<std::size_t>(col);
}

std::string StringGrid::Cell(int col, int row) const {
    return Contains(col, row) ? cells_[Index(col, row)] : std::string();
}

bool StringGrid::SetCell(int col, int row, const std::string& text) {
    if (!Contains(col, row)) {
        return false;
    }
    std::string& cell = cells_[Index(col, row)];
    if (cell != text) {
        cell = text;
        Notify(GridChange::kCell, col, row);
    }
    return true;
}

int StringGrid::ColWidth(int col) const {
    return col >= 0 && col < columns_ ? widths_[static_cast<std::size_t>(col)] : 0;
}

bool StringGrid::SetColWidth(int col, int pixels) {
    if (col < 0 || col >= columns_ || pixels < 0) {
        return false;
    }
    int& width = widths_[static_cast<std::size_t>(col)];
    if (width != pixels) {
        width = pixels;
        Notify(GridChange::kColumnWidth, col, -1);
    }
    return true;
}

bool StringGrid::SetSelection(int col, int row) {
    if (!Contains(col, row) || col < fixedColumns_ || row < fixedRows_) {
        return false;
    }
    if (col != selectedCol_ || row != selectedRow_) {
        selectedCol_ = col;
        selectedRow_ = row;
        Notify(GridChange::kSelection, col, row);
    }
    return true;
}

void StringGrid::SetEditingEnabled(bool enabled) {
    if (enabled != editingEnabled_) {
        editingEnabled_ = enabled;
        Notify(GridChange::kEditing, -1, -1);
    }
}

StringGrid::ListenerId StringGrid::Subscribe(Listener listener) {
    const ListenerId id = nextId_++;
    listeners_.emplace_back(id, std::move(listener));
    return id;
}

bool StringGrid::Unsubscribe(ListenerId id) {
    const auto found = std::find_if(listeners_.begin(), listeners_.end(),
                                    [id](const auto& entry) { return entry.first == id; });
    if (found == listeners_.end()) {
        return false;
    }
    listeners_.erase(found);
    return true;
}

bool StringGrid::IsSubscribed(ListenerId id) const {
    return std::any_of(listeners_.begin(), listeners_.end(),
                       [id](const auto& entry) { return entry.first == id; });
}

void StringGrid::Notify(GridChange change, int col, int row) {
    // A listener may subscribe or unsubscribe others while it is called (a view closing another),
    // so walk a copy and skip whoever has left meanwhile.
    const auto listeners = listeners_;
    for (const auto& [id, listener] : listeners) {
        if (listener && IsSubscribed(id)) {
            listener(change, col, row);
        }
    }
}

}  // namespace quelvar::settings

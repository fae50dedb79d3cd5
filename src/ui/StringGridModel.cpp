#include "ui/StringGridModel.h"

#include <QApplication>
#include <QPalette>

#include "ui/QtText.h"

namespace quelvar::ui {

StringGridModel::StringGridModel(settings::StringGrid& grid, QObject* parent)
    : QAbstractTableModel(parent), grid_(grid) {
    listener_ = grid_.Subscribe(
        [this](settings::GridChange change, int col, int row) { OnGridChange(change, col, row); });
}

StringGridModel::~StringGridModel() {
    grid_.Unsubscribe(listener_);
}

int StringGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : grid_.RowCount();
}

int StringGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : grid_.ColCount();
}

bool StringGridModel::IsFixed(int col, int row) const {
    return col < grid_.FixedCols() || row < grid_.FixedRows();
}

QVariant StringGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) {
        return {};
    }
    const int col = index.column();
    const int row = index.row();
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            return FromCp1250(grid_.Cell(col, row));
        case Qt::BackgroundRole:
            if (IsFixed(col, row)) {
                return QApplication::palette().button();
            }
            return {};
        case Qt::ForegroundRole:
            if (IsFixed(col, row)) {
                return QApplication::palette().buttonText();
            }
            return {};
        case Qt::ToolTipRole:
            if (tip_ && !IsFixed(col, row)) {
                if (const QString tip = tip_(grid_.Cell(col, row), col, row); !tip.isEmpty()) {
                    return tip;
                }
            }
            return {};
        default:
            return {};
    }
}

bool StringGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole) {
        return false;
    }
    const std::optional<std::string> bytes = ToCp1250(value.toString());
    return bytes && grid_.SetCell(index.column(), index.row(), *bytes);
}

Qt::ItemFlags StringGridModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    if (IsFixed(index.column(), index.row())) {
        return Qt::ItemIsEnabled;
    }
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (grid_.EditingEnabled()) {
        flags |= Qt::ItemIsEditable;
    }
    return flags;
}

void StringGridModel::OnGridChange(settings::GridChange change, int col, int row) {
    switch (change) {
        case settings::GridChange::kCell: {
            const QModelIndex cell = index(row, col);
            emit dataChanged(cell, cell, {Qt::DisplayRole, Qt::EditRole});
            break;
        }
        case settings::GridChange::kColumnWidth:
            emit columnWidthChanged(col, grid_.ColWidth(col));
            break;
        case settings::GridChange::kSelection:
            emit gridSelectionChanged(col, row);
            break;
        case settings::GridChange::kEditing:
            emit editingSwitched(grid_.EditingEnabled());
            break;
    }
}

}  // namespace quelvar::ui

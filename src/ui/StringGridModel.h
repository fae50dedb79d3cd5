#pragma once
// Qt's table model over a StringGrid: the grid stays the only store of the cells.

#include <QAbstractTableModel>
#include <QString>
#include <functional>

#include "settings/StringGrid.h"

namespace quelvar::ui {

class StringGridModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit StringGridModel(settings::StringGrid& grid, QObject* parent = nullptr);
    ~StringGridModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    // Refuses a text that Windows-1250 cannot hold.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    bool IsFixed(int col, int row) const;
    // What a cell's tool tip says of its value (a Contact ID code's name); empty for none.
    using CellTip = std::function<QString(const std::string& value, int col, int row)>;
    void SetCellTip(CellTip tip) { tip_ = std::move(tip); }
    settings::StringGrid& Grid() { return grid_; }
    const settings::StringGrid& Grid() const { return grid_; }

  signals:
    void columnWidthChanged(int col, int width);
    void gridSelectionChanged(int col, int row);
    void editingSwitched(bool enabled);

  private:
    void OnGridChange(settings::GridChange change, int col, int row);

    settings::StringGrid& grid_;
    settings::StringGrid::ListenerId listener_;
    CellTip tip_;
};

}  // namespace quelvar::ui

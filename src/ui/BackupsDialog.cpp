#include "ui/BackupsDialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QVBoxLayout>

namespace quelvar::ui {

BackupsDialog::BackupsDialog(QWidget* parent, const QString& folder, const std::vector<Row>& rows,
                             bool canRestore)
    : QDialog(parent) {
    setObjectName("BackupsDialog");
    setWindowTitle("Backups");
    auto* layout = new QVBoxLayout(this);
    auto* where = new QLabel(
        rows.empty() ? QString("No backups yet in %1").arg(folder) : QString("In %1").arg(folder),
        this);
    where->setTextFormat(Qt::PlainText);
    layout->addWidget(where);

    table = new QTableWidget(static_cast<int>(rows.size()), 4, this);
    table->setHorizontalHeaderLabels({"Date", "Account ID", "Firmware", "Differing settings"});
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->hide();
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const Row& row = rows[static_cast<std::size_t>(r)];
        const QString differing =
            row.differing < 0 ? QString("unreadable") : QString::number(row.differing);
        int c = 0;
        for (const QString& text : {row.time, row.accountId, row.firmware, differing}) {
            table->setItem(r, c++, new QTableWidgetItem(text));
        }
    }
    table->resizeColumnsToContents();
    table->setMinimumWidth(520);
    layout->addWidget(table);

    auto* buttons = new QHBoxLayout;
    openButton = new QPushButton("Open", this);
    restoreButton = new QPushButton("Restore...", this);
    closeButton = new QPushButton("Close", this);
    restoreButton->setVisible(canRestore);
    buttons->addStretch();
    for (QPushButton* button : {openButton, restoreButton, closeButton}) {
        buttons->addWidget(button);
    }
    layout->addLayout(buttons);
    connect(openButton, &QPushButton::clicked, this, [this] { Choose(Choice::kOpen); });
    connect(restoreButton, &QPushButton::clicked, this, [this] { Choose(Choice::kRestore); });
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(table, &QTableWidget::cellDoubleClicked, this, [this] { Choose(Choice::kOpen); });
    auto updateButtons = [this] {
        const bool selected = !table->selectedItems().isEmpty();
        openButton->setEnabled(selected);
        restoreButton->setEnabled(selected);
    };
    connect(table, &QTableWidget::itemSelectionChanged, this, updateButtons);
    if (!rows.empty()) {
        table->selectRow(0);
    }
    updateButtons();
    closeButton->setDefault(true);
}

void BackupsDialog::Choose(Choice choice) {
    const QList<QTableWidgetItem*> selected = table->selectedItems();
    if (selected.isEmpty()) {
        return;
    }
    chosen_ = choice;
    chosenRow_ = selected.first()->row();
    accept();
}

}  // namespace quelvar::ui

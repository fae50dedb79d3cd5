#include "ui/CompareDialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>
#include <algorithm>
#include <iterator>

#include "settings/Cp1250.h"
#include "ui/QtText.h"
#include "ui/WindowDialogs.h"

namespace quelvar::ui {

namespace {

using settings::SettingGroup;
using settings::TableId;

constexpr int kGroupWidth = 220;
constexpr int kValueWidth = 200;

// The tables as the window shows them: the left column top to bottom, then monitoring.
constexpr TableId kWindowTableOrder[] = {TableId::kSimCard,      TableId::kSmsForwarding,
                                         TableId::kZ1Settings,   TableId::kZ2Settings,
                                         TableId::kPhoneNumbers, TableId::kMonitoring};

int WindowRank(const settings::SettingPlace& place) {
    switch (place.group) {
        case SettingGroup::kMode:
            return 0;
        case SettingGroup::kTable:
            return 1 + static_cast<int>(
                           std::distance(std::begin(kWindowTableOrder),
                                         std::find(std::begin(kWindowTableOrder),
                                                   std::end(kWindowTableOrder), place.table)));
        case SettingGroup::kAlarmGrid:
            return 8;
        case SettingGroup::kInputGrid:
            return 9;
    }
    return 10;
}

QString Shown(const std::optional<std::string>& value, const std::string& key) {
    if (!value) {
        return "(missing)";
    }
    // Erased flash reads as bytes 0xFF, which the code page shows as a row of dots.
    if (!value->empty() && value->find_first_not_of('\xFF') == std::string::npos) {
        return "(erased memory)";
    }
    return value->empty() ? QString("(empty)")
                          : QString::fromStdString(settings::Cp1250ToPrintableUtf8(*value) +
                                                   settings::ValueNote(key, *value));
}

}  // namespace

std::vector<DifferenceRow> DifferenceRows(
    const std::vector<settings::SettingDifference>& differences, const GroupCaption& groupCaption) {
    std::vector<settings::SettingDifference> ordered = differences;
    const auto& all = settings::AllSettings();
    std::stable_sort(ordered.begin(), ordered.end(), [&](const auto& a, const auto& b) {
        return WindowRank(all[a.setting]) < WindowRank(all[b.setting]);
    });
    std::vector<DifferenceRow> rows;
    for (const settings::SettingDifference& difference : ordered) {
        const settings::SettingPlace& place = all[difference.setting];
        rows.push_back({groupCaption(place),
                        FromCp1250(place.rowCaption.empty() ? place.key : place.rowCaption),
                        FromCp1250(settings::ColumnName(place)), Shown(difference.first, place.key),
                        Shown(difference.second, place.key)});
    }
    return rows;
}

QString DifferenceSummary(int differing, int compared) {
    return differing == 1 ? QString("1 of %1 settings differs").arg(compared)
                          : QString("%1 of %2 settings differ").arg(differing).arg(compared);
}

CompareDialog::CompareDialog(QWidget* parent, const Content& content) : QDialog(parent) {
    setWindowTitle(content.title);
    auto* layout = new QVBoxLayout(this);
    table = new QTableWidget(static_cast<int>(content.rows.size()), 5, this);
    table->setHorizontalHeaderLabels(
        {"Group", "Row", "Column", content.firstSide, content.secondSide});
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->hide();
    for (int r = 0; r < table->rowCount(); ++r) {
        const DifferenceRow& row = content.rows[static_cast<std::size_t>(r)];
        const QString cells[] = {row.group, row.row, row.column, row.first, row.second};
        for (int c = 0; c < 5; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            item->setToolTip(PlainToolTip(cells[c]));
            table->setItem(r, c, item);
        }
    }
    table->resizeColumnsToContents();
    // The event groups' long captions would push the values out of sight; cut ones show whole
    // as their tool tips.
    for (int c = 0; c < 5; ++c) {
        table->setColumnWidth(c,
                              std::min(table->columnWidth(c), c == 0 ? kGroupWidth : kValueWidth));
    }
    table->horizontalHeader()->setStretchLastSection(true);
    // Group names longer than their column wrap rather than being cut.
    table->setWordWrap(true);
    table->resizeRowsToContents();
    table->setVisible(!content.rows.empty());
    layout->addWidget(table, 1);
    findings = new QLabel(content.findings.join("\n"), this);
    findings->setTextFormat(Qt::PlainText);
    findings->setVisible(!content.findings.isEmpty());
    layout->addWidget(findings);
    summary = new QLabel(content.summary, this);
    summary->setTextFormat(Qt::PlainText);
    layout->addWidget(summary);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    if (content.offerLoad) {
        loadButton = new QPushButton(kLoadThisFile, this);
        connect(loadButton, &QPushButton::clicked, this, [this] {
            loadChosen_ = true;
            accept();
        });
        buttons->addWidget(loadButton);
    }
    closeButton = new QPushButton("Close", this);
    closeButton->setDefault(true);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addWidget(closeButton);
    layout->addLayout(buttons);
    resize(760, content.rows.empty() ? 160 : 480);
}

}  // namespace quelvar::ui

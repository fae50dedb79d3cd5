#pragma once
// Lists settings that differ between two sides (the window and a file, the window and the
// device after a write-back), group by group in the window's order, with a summary line.

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QTableWidget>
#include <vector>

#include "settings/SettingsCheck.h"
#include "ui/FindingsDialog.h"

namespace quelvar::ui {

inline constexpr const char* kLoadThisFile = "Load this file";
inline constexpr const char* kFileMatchesWindow = "The file holds exactly what the window shows";

// One line of the list, as the window names the place of the setting.
struct DifferenceRow {
    QString group;
    QString row;
    QString column;
    QString first;
    QString second;
};

// The differences in the window's group order (mode, the left column's tables top to bottom,
// the monitoring table, the alarm grid, the input grid), the file's order within a group.
std::vector<DifferenceRow> DifferenceRows(
    const std::vector<settings::SettingDifference>& differences, const GroupCaption& groupCaption);
// "12 of 467 settings differ".
QString DifferenceSummary(int differing, int compared);

class CompareDialog : public QDialog {
    Q_OBJECT
  public:
    struct Content {
        QString title;
        QString firstSide = "Window";
        QString secondSide;  // "File", "Device"
        std::vector<DifferenceRow> rows;
        QStringList findings;
        QString summary;
        bool offerLoad = false;
    };
    CompareDialog(QWidget* parent, const Content& content);

    // Whether the dialog ended with "Load this file".
    bool LoadChosen() const { return loadChosen_; }

    QTableWidget* table = nullptr;
    QLabel* summary = nullptr;
    QLabel* findings = nullptr;
    QPushButton* loadButton = nullptr;  // only when offered
    QPushButton* closeButton = nullptr;

  private:
    bool loadChosen_ = false;
};

}  // namespace quelvar::ui

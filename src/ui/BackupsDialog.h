#pragma once
// More > Backups...: the device backups newest first, with how many settings of each differ
// from what the window shows; Open or Restore the one selected.

#include <QDialog>
#include <QPushButton>
#include <QString>
#include <QTableWidget>
#include <vector>

namespace quelvar::ui {

class BackupsDialog : public QDialog {
    Q_OBJECT
  public:
    struct Row {
        QString time;
        QString accountId;
        QString firmware;
        int differing = -1;  // -1: the file cannot be read as a settings file
    };
    enum class Choice { kNone, kOpen, kRestore };

    // `canRestore`: a device is logged in to restore to.
    BackupsDialog(QWidget* parent, const QString& folder, const std::vector<Row>& rows,
                  bool canRestore);

    Choice Chosen() const { return chosen_; }
    int ChosenRow() const { return chosenRow_; }

    QTableWidget* table = nullptr;
    QPushButton* openButton = nullptr;
    QPushButton* restoreButton = nullptr;
    QPushButton* closeButton = nullptr;

  private:
    void Choose(Choice choice);

    Choice chosen_ = Choice::kNone;
    int chosenRow_ = -1;
};

}  // namespace quelvar::ui

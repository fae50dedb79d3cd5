#pragma once
// What the window's empty area offers while no settings are shown (before a log-in, after a
// cancelled password or a disconnect, when the tool bar is hidden): a line that says so, a way
// to open a settings file and, with a device attached but not logged in, a way to log in.

#include <QLabel>
#include <QPushButton>
#include <QWidget>

namespace quelvar::ui {

class ReconnectPanel : public QWidget {
    Q_OBJECT

  public:
    // Shown exactly while `settings` (the settings group it stands in for) is hidden.
    ReconnectPanel(QWidget* settings, QWidget* parent);

    // Whether a device is attached that no log-in has reached.
    void OfferLogIn(bool offered);

    QLabel* lbNoSettings;
    QPushButton* btnOpenFile;
    QPushButton* btnLogIn;

  signals:
    void openFileClicked();
    void logInClicked();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* settings_;
};

}  // namespace quelvar::ui

#pragma once
// The password dialog: asks for the four-digit device password and hands it back encoded as
// the modal result. The caller sets the caption and the prompt (lbx1) before every show.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace quelvar::ui {

class TPasswdFrm : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kCancelled = -1;
    // Added to the four digits read as a number, so an entry gives 18 to 10017.
    static constexpr int kOffset = 18;

    explicit TPasswdFrm(QWidget* parent = nullptr);

    // The field starts empty on every show. kCancelled, or the entry plus kOffset.
    int ShowModal();

    // Escape does nothing; a close by the system (there is no close box) cancels.
    void reject() override;

    // In tab order.
    QLabel* const lbx1;
    QPushButton* const pbtOK;
    QLineEdit* const edpw;
    QPushButton* const Button1;

  protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void UpdateOk();
    void Confirm();

    int entry_ = kCancelled;  // set only by a confirmed entry
};

}  // namespace quelvar::ui

#include "ui/Passwd.h"

#include <QEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

#include "ui/DialogFont.h"
#include "ui/KeyFilter.h"

namespace quelvar::ui {
namespace {

constexpr int kDigits = 4;

}  // namespace

TPasswdFrm::TPasswdFrm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowStaysOnTopHint),
      lbx1(new QLabel(QStringLiteral("Password:"), this)),
      pbtOK(new QPushButton(QStringLiteral("OK"), this)),
      edpw(new QLineEdit(this)),
      Button1(new QPushButton(QStringLiteral("Cancel"), this)) {
    setWindowTitle(QStringLiteral("Password"));
    setFont(DialogFont(8));
    setFixedSize(296, 65);
    setModal(true);

    lbx1->setObjectName(QStringLiteral("lbx1"));
    lbx1->setFont(DialogFont(12));
    lbx1->setTextFormat(Qt::PlainText);
    lbx1->setGeometry(8, 8, 280, QFontMetrics(lbx1->font()).height());

    pbtOK->setObjectName(QStringLiteral("pbtOK"));
    pbtOK->setGeometry(134, 32, 75, 25);
    pbtOK->setDefault(true);
    pbtOK->setEnabled(false);

    edpw->setObjectName(QStringLiteral("edpw"));
    edpw->setGeometry(8, 34, 121, 21);
    edpw->setMaxLength(kDigits);
    edpw->setEchoMode(QLineEdit::Password);
    edpw->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));  // '*'
    auto* filter = new KeyFilter(*edpw);
    filter->SetAllowed(QStringLiteral("0123456789"));
    filter->SetMaxLength(kDigits);
    edpw->installEventFilter(this);

    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(215, 32, 75, 25);

    connect(pbtOK, &QPushButton::clicked, this, &TPasswdFrm::Confirm);
    connect(Button1, &QPushButton::clicked, this, [this] { done(kCancelled); });
    // Key releases alone would miss a paste by the mouse.
    connect(edpw, &QLineEdit::textChanged, this, &TPasswdFrm::UpdateOk);
}

int TPasswdFrm::ShowModal() {
    // Only a confirmed entry answers: a dialog loop ended from outside (the application
    // quitting on a stop signal) returns at once with a result of its own, which must not
    // pass for a password.
    entry_ = kCancelled;
    exec();
    return entry_;
}

void TPasswdFrm::reject() {
    done(kCancelled);
}

void TPasswdFrm::UpdateOk() {
    pbtOK->setEnabled(edpw->text().size() == kDigits);
}

void TPasswdFrm::Confirm() {
    bool number = false;
    const int value = edpw->text().toInt(&number, 10);
    // Only digits enter the field, so this holds whenever OK can be pressed.
    if (number && edpw->text().size() == kDigits) {
        entry_ = value + kOffset;
        done(entry_);
    }
}

void TPasswdFrm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) {
        return;
    }
    // A new show must not offer the last entry: after a log-in the password change would open
    // holding the current password, ready to confirm.
    edpw->clear();
    UpdateOk();
    edpw->setFocus();
}

void TPasswdFrm::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Escape:
            event->accept();
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // A focused button takes Enter itself; from the field Enter cancels an unfinished
            // entry.
            (pbtOK->isEnabled() ? pbtOK : Button1)->click();
            event->accept();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

bool TPasswdFrm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edpw && event->type() == QEvent::KeyRelease) {
        UpdateOk();
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace quelvar::ui

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "ui/Passwd.h"
#include "ui/RunModal.h"

using quelvar::ui::TPasswdFrm;
using quelvar::ui::testing::kStillOpen;
using quelvar::ui::testing::RunModal;

namespace {

// Types the digits into the field, then presses the key there (Tab first: on the next button).
int Enter(TPasswdFrm& dialog, const QString& digits, Qt::Key key, bool tabFirst = false) {
    return RunModal(dialog, [&] {
        QTest::keyClicks(dialog.edpw, digits);
        if (tabFirst) {
            QTest::keyClick(dialog.edpw, Qt::Key_Tab);
        }
        QTest::keyClick(dialog.focusWidget(), key);
    });
}

}  // namespace

class PasswdTest : public QObject {
    Q_OBJECT
  private slots:
    void entryIsEncoded() {
        TPasswdFrm dialog;
        QCOMPARE(Enter(dialog, "0000", Qt::Key_Return), 18);
        QCOMPARE(RunModal(dialog,
                          [&] {
                              QTest::keyClicks(dialog.edpw, "9999");
                              QTest::mouseClick(dialog.pbtOK, Qt::LeftButton);
                          }),
                 10017);
    }

    void enterAndEscape() {
        TPasswdFrm dialog;
        QCOMPARE(Enter(dialog, "12", Qt::Key_Return), TPasswdFrm::kCancelled);
        // A focused button takes Enter itself, even with OK ready.
        QCOMPARE(Enter(dialog, "1234", Qt::Key_Return, true), TPasswdFrm::kCancelled);
        QCOMPARE(Enter(dialog, "1234", Qt::Key_Escape), kStillOpen);
    }

    void fieldTakesFourDigitsOnly() {
        TPasswdFrm dialog;
        QStringList texts;
        QList<bool> ok;
        const auto note = [&] {
            texts << dialog.edpw->text();
            ok << dialog.pbtOK->isEnabled();
        };
        RunModal(dialog, [&] {
            QTest::keyClicks(dialog.edpw, "1a2");
            note();
            QTest::keyClicks(dialog.edpw, "345");
            note();
            texts << dialog.edpw->displayText();
            QTest::keyClick(dialog.edpw, Qt::Key_Backspace);
            note();
            QGuiApplication::clipboard()->setText("x98");
            QTest::keyClick(dialog.edpw, Qt::Key_V, Qt::ControlModifier);
            note();
        });
        QCOMPARE(texts, (QStringList{"12", "1234", "****", "123", "1239"}));
        QCOMPARE(ok, (QList<bool>{false, true, false, true}));
    }

    void fieldIsClearedOnEveryShow() {
        TPasswdFrm dialog;
        QCOMPARE(Enter(dialog, "1234", Qt::Key_Return), 1234 + TPasswdFrm::kOffset);
        QString left = "not shown";
        bool ok = true;
        RunModal(dialog, [&] {
            left = dialog.edpw->text();
            ok = dialog.pbtOK->isEnabled();
        });
        QCOMPARE(left, QString());
        QVERIFY(!ok);
    }
};

QTEST_MAIN(PasswdTest)
#include "PasswdTest.moc"

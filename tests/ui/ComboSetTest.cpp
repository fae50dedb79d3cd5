#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "settings/StringGrid.h"
#include "ui/ComboSet.h"
#include "ui/RunModal.h"
#include "ui/UnderWine.h"

using quelvar::settings::StringGrid;
using quelvar::ui::TSetFrm;
using quelvar::ui::testing::RunModal;
using quelvar::ui::testing::Type;

namespace {

// Edits the value cell (1, 1) of a settings table.
struct Editor {
    StringGrid grid{2, 2, 1, 0};
    TSetFrm dialog;

    Editor& Prepare(const std::string& rule, int exact, int max, bool upperCase = false) {
        dialog.SetTargetParam(grid, 1, 1, "Connection settings", "APN", upperCase);
        dialog.SetValueRule(rule);
        dialog.SetExactLength(exact);
        dialog.SetMaxLength(max);
        return *this;
    }
    std::string Cell() const { return grid.Cell(1, 1); }
};

}  // namespace

class ComboSetTest : public QObject {
    Q_OBJECT
  private slots:
    void lineEndsSplitTheRule_data() {
        QTest::addColumn<QByteArray>("rule");
        QTest::addColumn<QStringList>("items");
        QTest::newRow("LF") << QByteArray("NO\nNC") << QStringList{"NO", "NC"};
        QTest::newRow("CR") << QByteArray("NO\rNC") << QStringList{"NO", "NC"};
        QTest::newRow("CR LF, empty line, final end")
            << QByteArray("A\r\n\r\nB\r\n") << QStringList{"A", "", "B"};
        QTest::newRow("one line: free text") << QByteArray("0123\r\n") << QStringList{};
    }
    void lineEndsSplitTheRule() {
        QFETCH(QByteArray, rule);
        QFETCH(QStringList, items);
        Editor e;
        e.Prepare(rule.toStdString(), 0, 10);
        QCOMPARE(e.dialog.edSetProp->isHidden(), !items.isEmpty());
        QStringList shown;
        for (int i = 0; i < e.dialog.cbSetProp->count() && e.dialog.ListMode(); ++i) {
            shown << e.dialog.cbSetProp->itemText(i);
        }
        QCOMPARE(shown, items);
    }

    void listSelectsTheCellAndWritesOnlyOnOk() {
        Editor e;
        e.grid.SetCell(1, 1, "NC");
        QString shown, prompt;
        int result = RunModal(e.Prepare("NO\nNC", 0, 2).dialog, [&] {
            shown = e.dialog.cbSetProp->currentText();
            prompt = e.dialog.PreMessage->text();
            QTest::keyClick(e.dialog.cbSetProp, Qt::Key_Return);
        });
        QCOMPARE(shown, QString("NC"));
        QCOMPARE(prompt, QString("Select new value of"));
        QCOMPARE(result, TSetFrm::kOk);
        QCOMPARE(e.Cell(), std::string("NC"));

        // No option matches: the first is shown, the cell keeps its text unless OK.
        e.grid.SetCell(1, 1, "?");
        result = RunModal(e.Prepare("Off\r\nOn\r\nAuto", 0, 4).dialog, [&] {
            shown = e.dialog.cbSetProp->currentText();
            QTest::mouseClick(e.dialog.btSetCancel, Qt::LeftButton);
        });
        QCOMPARE(shown, QString("Off"));
        QCOMPARE(result, TSetFrm::kCancel);
        QCOMPARE(e.Cell(), std::string("?"));
        result = RunModal(e.Prepare("Off\r\nOn\r\nAuto", 0, 4).dialog,
                          [&] { QTest::mouseClick(e.dialog.btSetOK, Qt::LeftButton); });
        QCOMPARE(result, TSetFrm::kOk);
        QCOMPARE(e.Cell(), std::string("Off"));
    }

    void typingIsHeldToTheRule() {
        Editor e;
        e.grid.SetCell(1, 1, "77");
        QString prompt, typed, edited;
        const int result = RunModal(e.Prepare("0123456789", 0, 8).dialog, [&] {
            prompt = e.dialog.PreMessage->text();
            QWidget* field = e.dialog.focusWidget();
            QTest::keyClicks(field, "1a2b3");  // the first key replaces the selected "77"
            typed = e.dialog.edSetProp->text();
            QTest::keyClick(field, Qt::Key_Backspace);
            QTest::keyClick(field, Qt::Key_Home);
            QTest::keyClick(field, Qt::Key_Delete);
            QTest::keyClick(field, Qt::Key_End);
            QTest::keyClicks(field, "x45");
            edited = e.dialog.edSetProp->text();
            QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(field, "9");
            QTest::keyClick(field, Qt::Key_Return);
        });
        QCOMPARE(prompt, QString("Enter new value of"));
        QCOMPARE(typed, QString("123"));
        QCOMPARE(edited, QString("245"));
        QCOMPARE(result, TSetFrm::kOk);
        QCOMPARE(e.Cell(), std::string("9"));
    }

    void exactLengthGatesOkOnlyAfterAChange() {
        QUELVAR_SKIP_UNDER_WINE("activating another window does not deactivate the dialog");
        Editor e;
        e.grid.SetCell(1, 1, "123");
        QList<bool> ok;
        const auto note = [&] { ok << e.dialog.btSetOK->isEnabled(); };
        const auto backspaces = [&](int n) {
            for (int i = 0; i < n; ++i) {
                QTest::keyClick(e.dialog.edSetProp, Qt::Key_Backspace);
            }
        };
        int result = RunModal(e.Prepare("0123456789", 4, 4).dialog, [&] {
            QLineEdit* field = e.dialog.edSetProp;
            note();  // opens with a wrong length
            QTest::keyClick(field, Qt::Key_End);
            note();
            QTest::keyClicks(field, "4");
            note();  // "1234"
            backspaces(2);
            note();                                  // "12"
            QTest::keyClick(field, Qt::Key_Return);  // refused
            QWidget other(&e.dialog, Qt::Tool);
            other.show();
            other.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&other));
            e.dialog.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&e.dialog));
            note();  // every activation offers OK again
            backspaces(2);
            note();  // ""
            QTest::keyClick(field, Qt::Key_Return);
        });
        QCOMPARE(ok, (QList<bool>{true, true, true, false, true, true}));
        QCOMPARE(result, TSetFrm::kOk);
        QCOMPARE(e.Cell(), std::string());
    }

    void charactersAreTestedAsTheyArrive() {
        Editor e;
        int result = RunModal(e.Prepare("abc", 0, 8, true).dialog, [&] {
            QTest::keyClicks(e.dialog.edSetProp, "aAdc");
            QTest::keyClick(e.dialog.edSetProp, Qt::Key_Return);
        });
        QCOMPARE(result, TSetFrm::kOk);
        QCOMPARE(e.Cell(), std::string("AC"));

        // Typed and committed by an input method: what Windows-1250 lacks is refused, and the
        // micro sign keeps its case as the code page has no capital for it.
        result = RunModal(e.Prepare("", 0, 20, true).dialog, [&] {
            Type(e.dialog.edSetProp, QString::fromUtf8("a\u03A9\u0151\u6F22\u00B5\u20AC"));
            QInputMethodEvent commit;
            commit.setCommitString(QString::fromUtf8("\u03A9\u00E9"));
            QApplication::sendEvent(e.dialog.edSetProp, &commit);
            QTest::keyClick(e.dialog.edSetProp, Qt::Key_Return);
        });
        QCOMPARE(result, TSetFrm::kOk);
        QCOMPARE(e.Cell(), std::string("A\xD5\xB5\x80\xC9"));
    }

    void pasteIsFilteredAndCutToTheLimit() {
        Editor e;
        QGuiApplication::clipboard()->setText("12ab34567");
        int result = RunModal(e.Prepare("0123456789", 0, 5).dialog, [&] {
            QTest::keyClick(e.dialog.edSetProp, Qt::Key_V, Qt::ControlModifier);
            QTest::keyClick(e.dialog.edSetProp, Qt::Key_Return);
        });
        QCOMPARE(result, TSetFrm::kOk);
        QCOMPARE(e.Cell(), std::string("12345"));

        // A current value past the limit stays whole; only what is added is limited.
        e.grid.SetCell(1, 1, "1234567");
        QString opened, edited;
        result = RunModal(e.Prepare("0123456789", 0, 5).dialog, [&] {
            QLineEdit* field = e.dialog.edSetProp;
            opened = field->text();
            QTest::keyClick(field, Qt::Key_End);
            QTest::keyClicks(field, "8");
            for (int i = 0; i < 3; ++i) {
                QTest::keyClick(field, Qt::Key_Backspace);
            }
            QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
            edited = field->text();
            QTest::keyClick(field, Qt::Key_Escape);
        });
        QCOMPARE(opened, QString("1234567"));
        QCOMPARE(edited, QString("12341"));
        QCOMPARE(result, TSetFrm::kCancel);
        QCOMPARE(e.Cell(), std::string("1234567"));
    }

    void messagesNameTheTarget() {
        StringGrid grid(10, 3, 1, 1);
        grid.SetCell(0, 2, "Z1 Vissza\xE1ll\xE1s");
        TSetFrm dialog;
        dialog.SetTargetParam(grid, 1, 1, "Connection settings", "APN", false);
        QCOMPARE(dialog.windowTitle(), QString("APN"));
        QCOMPARE(dialog.Message->text(), QString("Connection settings: APN"));
        dialog.SetTargetEvent(grid, 9, 2, "Input event handling", "SMS \xFCzenet", false);
        QCOMPARE(dialog.windowTitle(), QString::fromUtf8("SMS üzenet"));
        QCOMPARE(dialog.Message->text(),
                 QString::fromUtf8("Input event handling: Z1 Visszaállás; SMS üzenet"));
    }

    // The editors say why: the greyed OK's reason, a refused key's allowed characters, the
    // length limit; and without a helper the dialog keeps its own size.
    void editorsSayWhyAKeyOrOkIsRefused() {
        Editor e;
        e.Prepare("*0123456789", 3, 3);
        const QSize designSize = e.dialog.size();
        QLabel* why = e.dialog.lbWhy;
        const int result = RunModal(e.dialog, [&] {
            QLineEdit* field = e.dialog.edSetProp;
            field->selectAll();
            QTest::keyClicks(field, "1");
            QVERIFY(!e.dialog.btSetOK->isEnabled());
            QCOMPARE(why->text(), QString("exactly 3 characters"));
            QTest::keyClicks(field, "x");
            QCOMPARE(why->text(), QString("digits, * only"));
            QTest::keyClicks(field, "3*");
            QVERIFY(e.dialog.btSetOK->isEnabled());
            QTest::keyClicks(field, "7");
            QCOMPARE(field->text(), QString("13*"));
            QCOMPARE(why->text(), QString("at most 3 characters"));
            // The refusal is said briefly; then the greyed OK's reason (none now) is back.
            QTest::qWait(100);
            QCOMPARE(why->text(), QString("at most 3 characters"));
            QTRY_COMPARE_WITH_TIMEOUT(why->text(), QString(), 4000);
            QTest::keyClick(field, Qt::Key_Return);
        });
        QCOMPARE(result, TSetFrm::kOk);
        QCOMPARE(e.Cell(), std::string("13*"));
        QCOMPARE(e.dialog.size(), designSize);
        QVERIFY(e.dialog.lbHint->isHidden() && e.dialog.lstCodes->isHidden());
    }

    void anSmsTextIsCountedAndItsForeignCharactersNamed() {
        Editor e;
        e.Prepare("", 0, 158);
        e.dialog.SetHelper(TSetFrm::Helper::kSmsText);
        QVERIFY(e.dialog.height() > 109);
        RunModal(e.dialog, [&] {
            QLineEdit* field = e.dialog.edSetProp;
            field->selectAll();
            Type(field, QString::fromUtf8("Tűz [pince]"));
            QCOMPARE(e.dialog.lbHint->text(),
                     QString::fromUtf8("13 of 158. ű is not in the GSM alphabet: phones may show "
                                       "it otherwise, or the message may be sent as Unicode, 70 "
                                       "characters per message"));
            // It warns and never refuses.
            QVERIFY(e.dialog.btSetOK->isEnabled());
            QTest::keyClick(field, Qt::Key_Return);
        });
        QCOMPARE(e.Cell(), std::string("T\xFBz [pince]"));
    }

    void aCodeIsNamedAsTypedAndPickedFromTheList() {
        Editor e;
        e.Prepare("*0123456789", 3, 3);
        e.dialog.SetHelper(TSetFrm::Helper::kEventCode);
        e.dialog.SetNote("OK also sets E/R to E");
        QListWidget* list = e.dialog.lstCodes;
        const int result = RunModal(e.dialog, [&] {
            QLineEdit* field = e.dialog.edSetProp;
            field->selectAll();
            QTest::keyClicks(field, "13");
            QCOMPARE(list->count(), 10);  // 130 to 139
            QTest::keyClicks(field, "0");
            QCOMPARE(e.dialog.lbHint->text(), QString("130 Burglary\nOK also sets E/R to E"));
            // A word in the search narrows the list; digits typed in the field go first.
            field->clear();
            QTest::keyClicks(e.dialog.edCodeSearch, "tamp");
            QCOMPARE(list->count(), 5);
            QTest::keyClicks(field, "3");
            QCOMPARE(list->count(), 2);  // 341, 383
            list->setFocus();
            QTest::keyClick(list, Qt::Key_Down);
            QTest::keyClick(list, Qt::Key_Down);
            QTest::keyClick(list, Qt::Key_Return);
            QCOMPARE(field->text(), QString("383"));
            QVERIFY(e.dialog.lbHint->text().startsWith("383 Sensor tamper trouble"));
            QTest::keyClick(field, Qt::Key_Return);
        });
        QCOMPARE(result, TSetFrm::kOk);
        QCOMPARE(e.Cell(), std::string("383"));
    }
};

QTEST_MAIN(ComboSetTest)
#include "ComboSetTest.moc"

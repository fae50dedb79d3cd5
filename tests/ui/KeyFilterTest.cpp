// The filter against input methods whose replacement range lies partly or wholly outside the
// text, and a cursor left past the end, all of which the field itself takes as they come.

#include <QApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QTest>

#include "ui/KeyFilter.h"

using quelvar::ui::KeyFilter;

namespace {

struct Field {
    explicit Field(const QString& text, int maxLength, const QString& allowed = {}) {
        filter->SetAllowed(allowed);
        filter->SetMaxLength(maxLength);
        edit.setText(text);
    }
    void Commit(const QString& text, int start = 0, int length = 0, const QString& preedit = {}) {
        QInputMethodEvent event(preedit, {});
        event.setCommitString(text, start, length);
        QApplication::sendEvent(&edit, &event);
    }

    QLineEdit edit;
    KeyFilter* filter = new KeyFilter(edit);
};

}  // namespace

class KeyFilterTest : public QObject {
    Q_OBJECT
  private slots:
    void aReplacementPastTheEndLeavesNoRoomBehind() {
        Field f("12AB", 4);
        f.edit.selectAll();
        f.Commit({}, 2, 64, "cc");
        QCOMPARE(f.edit.text(), QString());

        QTest::keyClicks(&f.edit, "abcdef");
        QCOMPARE(f.edit.text(), QString("abcd"));
        f.filter->Insert("z");
        f.edit.setCursorPosition(2);
        f.Commit("xy");
        QCOMPARE(f.edit.text(), QString("abcd"));
    }

    void aCommitPastTheEndIsNotPaddedWithSpaces() {
        Field f("", 1);
        f.Commit("12AB", 2);
        QCOMPARE(f.edit.text(), QString("1"));

        Field digits("12", 5, "0123456789");
        digits.Commit("5", 3);
        QCOMPARE(digits.edit.text(), QString("125"));
        digits.edit.setCursorPosition(0);
        digits.Commit("6", -4, 1);
        QCOMPARE(digits.edit.text(), QString("625"));
    }

    void aReplacementMakesRoomForWhatReplacesIt() {
        // An input method correcting the last two characters of a full field.
        Field f("xxab", 4);
        f.Commit("cd", -2, 2);
        QCOMPARE(f.edit.text(), QString("xxcd"));
        f.Commit("efg", -1, 1);
        QCOMPARE(f.edit.text(), QString("xxce"));
    }

    void aCursorLeftPastTheEndWhileComposingIsNotPaddedUpTo() {
        Field f("", 3, "0123456789");
        f.Commit({}, 0, 0, "ab");
        QTest::keyClick(&f.edit, Qt::Key_Left);
        QTest::keyClicks(&f.edit, "5");
        QCOMPARE(f.edit.text(), QString("5"));

        f.Commit({}, 0, 0, "ab");
        QTest::keyClick(&f.edit, Qt::Key_Left);
        QTest::keyClick(&f.edit, Qt::Key_Right);
        f.Commit("6");
        QCOMPARE(f.edit.text(), QString("56"));
    }

    void aSelectionInsideTheTextStillMakesRoom() {
        Field f("1234", 4);
        f.edit.setSelection(1, 2);
        QTest::keyClicks(&f.edit, "abc");
        QCOMPARE(f.edit.text(), QString("1ab4"));
        f.edit.setSelection(0, 2);
        f.Commit("xyz");
        QCOMPARE(f.edit.text(), QString("xyb4"));
    }
};

QTEST_MAIN(KeyFilterTest)
#include "KeyFilterTest.moc"

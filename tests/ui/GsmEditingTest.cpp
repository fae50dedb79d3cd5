// Editing the grids of the main window with real mouse and key events.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollBar>
#include <QTest>

#include "GsmHarness.h"
#include "RunModal.h"
#include "settings/AlarmTableImage.h"
#include "settings/ContactId.h"

using quelvar::settings::TableId;
using quelvar::test::GsmHarness;
using namespace quelvar::test;  // the window's controls by name
using quelvar::ui::StringGridView;

namespace {

using quelvar::test::Click;

// As the system delivers one: press, release, double-click press, release.
void DoubleClick(StringGridView* grid, int col, int row) {
    QWidget* viewport = grid->CellViewport(col, row);
    const QPoint at = grid->CellRect(col, row).center();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
    QMouseEvent second(QEvent::MouseButtonDblClick, at, viewport->mapToGlobal(at), Qt::LeftButton,
                       Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &second);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
}

// On the radio button's circle, where a click selects it.
void ClickItem(QWidget* item) {
    QTest::mouseClick(item, Qt::LeftButton, {}, QPoint(7, item->height() / 2));
}

void PressInModal(Qt::Key key) {
    GsmHarness::OnModal([key](QWidget* dialog) { QTest::keyClick(dialog, key); });
}

void TypeInModal(const QString& text, Qt::Key finish) {
    GsmHarness::OnModal([text, finish](QWidget* dialog) {
        auto* field = dialog->findChild<QLineEdit*>("edSetProp");
        QTest::keyClicks(field, text);
        QTest::keyClick(field, finish);
    });
}

}  // namespace

class GsmEditingTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        h = std::make_unique<GsmHarness>();
        h->Connect();
    }
    void cleanup() { h.reset(); }

    void listRuleSelectsTheCellsOptionAndOkWritesIt() {
        auto& z1 = h->form->model.Grid(TableId::kZ1Settings);
        z1.SetCell(1, 1, "NC");
        GsmHarness::OnModal([](QWidget* dialog) {
            auto* list = dialog->findChild<QComboBox*>("cbSetProp");
            QVERIFY(list->isVisible());
            QCOMPARE(list->currentText(), QString("NC"));
            QTest::keyClick(dialog, Qt::Key_Return);
        });
        Click(sgIN1(*h->form), 1, 1);
        QCOMPARE(z1.Cell(1, 1), std::string("NC"));
        QCOMPARE(h->form->SaveToDevImage(), 4);
    }

    void unmatchedListCellIsUnchangedAfterCancel() {
        auto& z1 = h->form->model.Grid(TableId::kZ1Settings);
        z1.SetCell(1, 0, "3 sec");
        PressInModal(Qt::Key_Escape);
        Click(sgIN1(*h->form), 1, 0);
        QCOMPARE(z1.Cell(1, 0), std::string("3 sec"));
        QCOMPARE(h->form->SaveToDevImage(), 4);  // the cell still differs from the device's
    }

    // A later action replaces the earlier one's result: after an edit the status bar no longer
    // says "Written and verified".
    void anEditReplacesTheLastResult() {
        h->ClickWriteBack();
        QCOMPARE(h->form->Controls().StatusText(2), QString("Written and verified"));
        Click(sgeAlarmList(*h->form), quelvar::settings::kAlarmFirstCallColumn, 3);
        QCOMPARE(h->form->SaveToDevImage(), quelvar::ui::kPendingImage);
        QCOMPARE(h->form->Controls().StatusText(2), QString());
    }

    // Cancel and Escape change nothing: the mark says nothing waits, as the close question
    // does; an edit typed back to the device's value clears it again.
    void cancelledOrUndoneEditLeavesNoMark() {
        PressInModal(Qt::Key_Escape);
        Click(sgGPRSConnection(*h->form), 1, 0);
        QCOMPARE(h->form->SaveToDevImage(), quelvar::ui::kSavedImage);
        QVERIFY(!actUndo(*h->form)->isEnabled());

        const std::string held = h->form->model.Grid(TableId::kSimCard).Cell(1, 0);
        TypeInModal("9876", Qt::Key_Return);
        Click(sgGPRSConnection(*h->form), 1, 0);
        QCOMPARE(h->form->SaveToDevImage(), quelvar::ui::kPendingImage);
        GsmHarness::OnModal([held](QWidget* dialog) {
            auto* field = dialog->findChild<QLineEdit*>("edSetProp");
            field->selectAll();
            QTest::keyClicks(field, QString::fromStdString(held));
            QTest::keyClick(field, Qt::Key_Return);
        });
        Click(sgGPRSConnection(*h->form), 1, 0);
        QCOMPARE(h->form->SaveToDevImage(), quelvar::ui::kSavedImage);
    }

    void digitRuleTakesDigitsOnly() {
        auto& sim = h->form->model.Grid(TableId::kSimCard);
        TypeInModal("12ab34", Qt::Key_Return);
        Click(sgGPRSConnection(*h->form), 1, 0);
        QCOMPARE(sim.Cell(1, 0), std::string("1234"));
    }

    // Moving onto another row opens nothing; Enter there opens its editor as a click does.
    void keyboardMoveOpensNoEditorButEnterDoes() {
        PressInModal(Qt::Key_Escape);
        Click(sgIN1(*h->form), 1, 0);
        int opened = 0;
        quelvar::test::ModalScript script([&](QWidget* dialog, int) {
            ++opened;
            QTest::keyClick(dialog, Qt::Key_Escape);
        });
        QTest::keyClick(sgIN1(*h->form), Qt::Key_Down);
        QTest::qWait(50);
        QCOMPARE(opened, 0);
        QTest::keyClick(sgIN1(*h->form), Qt::Key_Return);
        QTRY_COMPARE(opened, 1);
    }

    void ackColumnTogglesAndKeepsTheMask() {
        auto& phones = h->form->model.Grid(TableId::kPhoneNumbers);
        QCOMPARE(h->form->ackMask(), std::string("1000"));
        Click(sgPhnrs(*h->form), 2, 3);
        QCOMPARE(phones.Cell(2, 3), std::string("X"));
        QCOMPARE(h->form->ackMask(), std::string("1010"));
        DoubleClick(sgPhnrs(*h->form), 2, 2);
        QCOMPARE(h->form->ackMask(), std::string("1110"));
        Click(sgPhnrs(*h->form), 2, 1);
        QCOMPARE(h->form->ackMask(), std::string("0110"));
        // The keys move the selection without toggling; Space toggles where it is.
        QTest::keyClick(sgPhnrs(*h->form), Qt::Key_Down);
        QCOMPARE(h->form->ackMask(), std::string("0110"));
        QTest::keyClick(sgPhnrs(*h->form), Qt::Key_Space);
        QCOMPARE(h->form->ackMask(), std::string("0010"));
        QTest::keyClick(sgPhnrs(*h->form), Qt::Key_Down);
        QTest::keyClick(sgPhnrs(*h->form), Qt::Key_Down);
        QCOMPARE(h->form->ackMask(), std::string("0010"));
        QCOMPARE(h->form->SaveToDevImage(), 4);
    }

    void qualifierCyclesAndFollowsTheCode() {
        auto& alarms = h->form->model.AlarmGrid();
        alarms.SetCell(1, 5, "");
        alarms.SetCell(2, 5, "R");
        Click(sgeAlarmList(*h->form), 2, 5);
        QCOMPARE(alarms.Cell(2, 5), std::string(""));
        Click(sgeAlarmList(*h->form), 2, 5);
        QCOMPARE(alarms.Cell(2, 5), std::string("E"));
        Click(sgeAlarmList(*h->form), 2, 5);
        QCOMPARE(alarms.Cell(2, 5), std::string("R"));
        alarms.SetCell(1, 5, "130");
        Click(sgeAlarmList(*h->form), 2, 5);
        QCOMPARE(alarms.Cell(2, 5), std::string("E"));
    }

    void confirmedThreeCharacterCodeSetsAnEmptyQualifier() {
        auto& alarms = h->form->model.AlarmGrid();
        alarms.SetCell(1, 6, "130");  // a whole Code already: only OK may add the "E"
        alarms.SetCell(2, 6, "");
        TypeInModal("1*3", Qt::Key_Escape);
        Click(sgeAlarmList(*h->form), 1, 6);
        QCOMPARE(alarms.Cell(1, 6), std::string("130"));
        QCOMPARE(alarms.Cell(2, 6), std::string(""));
        QCOMPARE(h->form->SaveToDevImage(), 4);
        TypeInModal("1*3", Qt::Key_Return);
        Click(sgeAlarmList(*h->form), 1, 6);
        QCOMPARE(alarms.Cell(1, 6), std::string("1*3"));
        QCOMPARE(alarms.Cell(2, 6), std::string("E"));
    }

    // Code cells say what they mean: the alarm table's Code and E/R cells and the Z1/Z2 event
    // codes in their tool tips; the code editor names what is typed, offers its list and says
    // that OK sets the qualifier.
    void codeCellsAndTheirEditorKnowContactIdNames() {
        auto& alarms = h->form->model.AlarmGrid();
        alarms.SetCell(1, 6, "13*");
        alarms.SetCell(2, 6, "");
        auto tip = [](StringGridView* grid, int col, int row) {
            return grid->Model().data(grid->Model().index(row, col), Qt::ToolTipRole).toString();
        };
        QCOMPARE(tip(sgeAlarmList(*h->form), 1, 6),
                 QString("13*: any of 130-139, Burglary alarms"));
        QCOMPARE(tip(sgeAlarmList(*h->form), 2, 6), QString(quelvar::settings::kQualifierMeaning));
        QCOMPARE(tip(sgeAlarmList(*h->form), 9, 6), QString());  // the SMS text: none
        QCOMPARE(tip(sgeAlarmList(*h->form), 1, 0), QString());  // the header: none
        // The monitoring table's Z1 event code (its third row); the account ID (first) has none.
        auto& monitoring = h->form->model.Grid(quelvar::settings::TableId::kMonitoring);
        monitoring.SetCell(1, 2, "301");
        QCOMPARE(tip(sgeInEvSetCID(*h->form), 1, 2), QString("301 AC loss"));
        QCOMPARE(tip(sgeInEvSetCID(*h->form), 1, 0), QString());

        QString hint;
        int listed = 0;
        GsmHarness::OnModal([&](QWidget* dialog) {
            auto* field = dialog->findChild<QLineEdit*>("edSetProp");
            field->selectAll();
            QTest::keyClicks(field, "110");
            hint = dialog->findChild<QLabel*>("lbHint")->text();
            listed = dialog->findChild<QListWidget*>("lstCodes")->count();
            QTest::keyClick(field, Qt::Key_Return);
        });
        Click(sgeAlarmList(*h->form), 1, 6);
        QCOMPARE(hint, QString("110 Fire\nOK also sets E/R to E: a new event (or an opening)"));
        QCOMPARE(listed, 1);
        QCOMPARE(alarms.Cell(2, 6), std::string("E"));
    }

    void marksToggleAndEveryClickSetsThePendingMark() {
        auto& alarms = h->form->model.AlarmGrid();
        auto& inputs = h->form->model.InputGrid();
        Click(sgeAlarmList(*h->form), 13, 4);
        QCOMPARE(alarms.Cell(13, 4), std::string("X"));
        QCOMPARE(h->form->SaveToDevImage(), 4);
        Click(sgeAlarmList(*h->form), 3, 0);  // a header: nothing toggles
        QCOMPARE(alarms.Cell(13, 4), std::string("X"));
        QCOMPARE(h->form->SaveToDevImage(), 4);
        Click(sgeInEvSet(*h->form), 4, 2);
        QCOMPARE(inputs.Cell(4, 2), std::string("X"));
        Click(sgeInEvSet(*h->form), 4, 2);
        QCOMPARE(inputs.Cell(4, 2), std::string(""));
        QTest::keyClick(sgSMSFW(*h->form), Qt::Key_Shift);
        QCOMPARE(h->form->SaveToDevImage(), 4);
    }

    void smsTextOfTheInputGridKeepsHungarianLetters() {
        auto& inputs = h->form->model.InputGrid();
        GsmHarness::OnModal([](QWidget* dialog) {
            auto* field = dialog->findChild<QLineEdit*>("edSetProp");
            field->selectAll();
            quelvar::ui::testing::Type(field, QString::fromUtf8("Betörés"));
            QTest::keyClick(field, Qt::Key_Return);
        });
        Click(sgeInEvSet(*h->form), 5, 3);
        QCOMPARE(inputs.Cell(5, 3), std::string("Bet\xF6r\xE9s"));
    }

    void inputDuringASequenceIsIgnored() {
        auto& device = h->form->connection->Device();
        device.SetMessagePump([&] {
            h->ClickWriteBack();
            Click(sgeAlarmList(*h->form), 13, 1);
        });
        ClickItem(ModeButton(*h->form, 1));
        h->sim->ClearCommands();
        ClickItem(ModeButton(*h->form, 0));  // the Standalone layout reads "GACK"
        device.SetMessagePump(nullptr);
        QCOMPARE(h->sim->CommandCount(), std::size_t{1});
        QCOMPARE(h->form->SaveToDevImage(), 2);
    }

    void fixedRowAndColumnStayWhileTheDataScrolls() {
        StringGridView* grid = sgeAlarmList(*h->form);
        grid->scrollTo(grid->Model().index(32, 13));
        QCoreApplication::processEvents();
        QVERIFY(grid->verticalScrollBar()->value() > 0);
        // Where a cell shows, in the grid's own coordinates.
        const auto at = [grid](int col, int row) {
            return grid->CellViewport(col, row)->mapTo(grid, grid->CellRect(col, row).topLeft());
        };
        QVERIFY(grid->viewport()->rect().contains(grid->CellRect(13, 32)));
        QCOMPARE(at(13, 0).y(), grid->frameWidth());  // the header row stays on top
        QCOMPARE(at(13, 0).x(), at(13, 32).x());      // over its column
        QCOMPARE(at(0, 32).x(), grid->frameWidth());  // the label stays at the left
        QCOMPARE(at(0, 32).y(), at(13, 32).y());      // beside its row
        QCOMPARE(at(0, 0), QPoint(grid->frameWidth(), grid->frameWidth()));
    }

    void clickOnTheSelectedModeKeepsUnsavedAckMarks() {
        Click(sgPhnrs(*h->form), 2, 4);
        QCOMPARE(h->form->ackMask(), std::string("1001"));
        h->sim->ClearCommands();
        ClickItem(ModeButton(*h->form, 0));
        QCOMPARE(h->sim->CommandCount(), std::size_t{0});
        QCOMPARE(h->form->ackMask(), std::string("1001"));
        ClickItem(ModeButton(*h->form, 1));
        QVERIFY(gbMonParams(*h->form)->isVisible());
        ClickItem(ModeButton(*h->form, 0));
        QCOMPARE(h->CommandTexts(), std::vector<std::string>{"GACK"});
        QCOMPARE(h->form->ackMask(), std::string("1000"));
    }

    void windowIsCentredAndDialogsStayOnItsScreen() {
        const QRect screen = h->form->screen()->availableGeometry();
        // Within the frame's margins, which are not known before the first show.
        QVERIFY((h->form->frameGeometry().center() - screen.center()).manhattanLength() <= 4);

        // Pointer outside the window: the editor comes back to the grid.
        StringGridView* grid = sgIN1(*h->form);
        struct Case {
            const char* what;
            QPoint pointer;  // from the window's top left
            QPoint expected;
        };
        h->form->move(screen.topLeft() + QPoint(10, 60));
        QCoreApplication::processEvents();
        const QRect window = h->form->geometry();
        const QPoint offset = grid->mapTo(h->form.get(), QPoint());
        const Case cases[] = {
            {"above", {100, -40}, {100, offset.y()}},
            {"below", {100, window.height() + 5}, {100, offset.y() + grid->height() - 200}},
            {"left", {-5, 150}, {offset.x(), 150}},
            {"inside", {300, 150}, {300, 150}},
        };
        for (const Case& c : cases) {
            QCursor::setPos(window.topLeft() + c.pointer);
            PressInModal(Qt::Key_Escape);
            Click(grid, 1, 0);
            QCOMPARE(h->setFrm->pos() - window.topLeft(), c.expected);
        }
        // Right of the window: the grid's right edge, the window standing off the left.
        h->form->move(screen.left() - 300, screen.top() + 60);
        QCoreApplication::processEvents();  // the window system settles the move
        QCursor::setPos(h->form->geometry().topRight() + QPoint(10, 150));
        PressInModal(Qt::Key_Escape);
        Click(grid, 1, 0);
        QCOMPARE(h->setFrm->pos().x(), h->form->geometry().left() + offset.x() + grid->width());

        // Near the screen's lower right corner, the editor and the password dialog stay whole.
        h->form->move(screen.bottomRight() - QPoint(300, 200));
        QCursor::setPos(screen.bottomRight() - QPoint(2, 2));
        PressInModal(Qt::Key_Escape);
        Click(sgeAlarmList(*h->form), 9, 1);
        QVERIFY(screen.contains(h->setFrm->frameGeometry()));
        QRect password;
        // Asked twice; each time it is closed unanswered.
        quelvar::test::ModalScript script(
            [&password](QWidget* dialog, int) { password = dialog->frameGeometry(); });
        QTest::mouseClick(ToolButton1(*h->form), Qt::LeftButton);
        QVERIFY(screen.contains(password));
    }

    // Only the grid with the keyboard focus draws its current cell as selected.
    void onlyTheFocusedGridShowsItsSelection() {
        Click(sgPhnrs(*h->form), quelvar::settings::kAckColumn, 3);
        Click(sgeAlarmList(*h->form), quelvar::settings::kAlarmFirstCallColumn + 1, 4);
        const QColor highlight = h->form->palette().color(QPalette::Highlight);
        auto shown = [](StringGridView* grid, int col, int row) {
            const QRect cell = grid->CellRect(col, row);
            return grid->viewport()->grab().toImage().pixelColor(cell.right() - 2, cell.top() + 3);
        };
        QVERIFY(sgeAlarmList(*h->form)->hasFocus());
        QCOMPARE(shown(sgeAlarmList(*h->form), quelvar::settings::kAlarmFirstCallColumn + 1, 4),
                 highlight);
        QVERIFY(shown(sgPhnrs(*h->form), quelvar::settings::kAckColumn, 3) != highlight);
    }

  private:
    std::unique_ptr<GsmHarness> h;
};

QTEST_MAIN(GsmEditingTest)
#include "GsmEditingTest.moc"

// Undo and redo in the main window with real clicks and keys: every kind of grid edit, the
// operating mode, an offline load and a load into the device, the pending mark after each, nothing
// sent to the device.

#include <QComboBox>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include "GsmHarness.h"
#include "settings/SettingsFile.h"

using quelvar::settings::TableId;
using quelvar::test::GsmHarness;
using namespace quelvar::test;  // the window's controls by name
using quelvar::ui::StringGridView;

namespace {

using quelvar::test::Click;

void ClickItem(QWidget* item) {
    QTest::mouseClick(item, Qt::LeftButton, {}, QPoint(7, item->height() / 2));
}

void TypeInModal(const QString& text) {
    GsmHarness::OnModal([text](QWidget* dialog) {
        auto* field = dialog->findChild<QLineEdit*>("edSetProp");
        field->selectAll();
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Return);
    });
}

void PickNextInModal() {
    GsmHarness::OnModal([](QWidget* dialog) {
        auto* list = dialog->findChild<QComboBox*>("cbSetProp");
        QTest::keyClick(list, list->currentIndex() + 1 < list->count() ? Qt::Key_Down : Qt::Key_Up);
        QTest::keyClick(dialog, Qt::Key_Return);
    });
}

// The window is active again once a dialog closed, as a window manager makes it.
void Undo(QWidget* window) {
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier);
}

}  // namespace

class GsmUndoTest : public QObject {
    Q_OBJECT

    // One observable value per kind of edit: what the window shows for it.
    struct Edit {
        const char* name;
        std::function<void()> make;
        std::function<std::string()> value;
    };

  private slots:
    void everyKindOfEditUndoesAndRedoesSendingNothing() {
        GsmHarness h;
        h.Connect();
        auto& model = h.form->model;
        auto& alarms = model.AlarmGrid();
        QCOMPARE(h.form->Controls().OpModeIndex(), 0);
        const std::vector<Edit> edits = {
            {"typed value",
             [&] {
                 TypeInModal("9876");
                 Click(sgGPRSConnection(*h.form), 1, 0);
             },
             [&] { return model.Grid(TableId::kSimCard).Cell(1, 0); }},
            {"listed value",
             [&] {
                 PickNextInModal();
                 Click(sgIN1(*h.form), 1, 1);
             },
             [&] { return model.Grid(TableId::kZ1Settings).Cell(1, 1); }},
            {"mark", [&] { Click(sgeAlarmList(*h.form), 5, 3); },
             [&] { return alarms.Cell(5, 3); }},
            {"acknowledgement mark", [&] { Click(sgPhnrs(*h.form), 2, 2); },
             [&] { return h.form->ackMask(); }},
            {"E/R", [&] { Click(sgeAlarmList(*h.form), 2, 4); }, [&] { return alarms.Cell(2, 4); }},
            {"operating mode", [&] { ClickItem(ModeButton(*h.form, 1)); },
             [&] { return std::to_string(h.form->Controls().OpModeIndex()); }},
        };
        std::vector<std::string> before;
        std::vector<std::string> after;
        for (const Edit& edit : edits) {
            before.push_back(edit.value());
            edit.make();
            after.push_back(edit.value());
            QVERIFY2(after.back() != before.back(), edit.name);
        }
        QCOMPARE(actUndo(*h.form)->text(), QString("Undo operating mode"));
        h.sim->ClearCommands();

        for (std::size_t i = edits.size(); i-- > 0;) {
            Undo(h.form.get());
            QVERIFY2(edits[i].value() == before[i], edits[i].name);
            // Until the last undo the window still differs from the device; then it does not.
            QCOMPARE(h.form->SaveToDevImage(),
                     i > 0 ? quelvar::ui::kPendingImage : quelvar::ui::kSavedImage);
            for (std::size_t j = 0; j < i; ++j) {
                QVERIFY2(edits[j].value() == after[j], edits[j].name);  // one step at a time
            }
        }
        QVERIFY(!actUndo(*h.form)->isEnabled());
        QCOMPARE(actRedo(*h.form)->text(), QString("Redo edit of PIN k\u00f3d"));
        for (std::size_t i = 0; i < edits.size(); ++i) {
            h.form->activateWindow();
            QTest::keyClick(h.form.get(), i % 2 ? Qt::Key_Y : Qt::Key_Z,
                            i % 2 ? Qt::ControlModifier : Qt::ControlModifier | Qt::ShiftModifier);
            QVERIFY2(edits[i].value() == after[i], edits[i].name);
            QCOMPARE(h.form->SaveToDevImage(), quelvar::ui::kPendingImage);
        }
        // Undo changes the window only: the device heard no write (the mode's layout reads the
        // acknowledgement marks).
        for (const std::string& text : h.CommandTexts()) {
            QCOMPARE(text, std::string("GACK"));
        }
        QCOMPARE(h.sim->Parameter("SIMPIN"), before[0]);
        QCOMPARE(h.sim->Parameter("IN1T"), before[1]);

        // Through the menu too, then a new log-in starts a new history.
        GsmHarness::ChooseFromMenu(btnMore(*h.form), actUndo(*h.form));
        QCOMPARE(h.form->Controls().OpModeIndex(), 0);
        // The other edits still differ from the device: the unplug asks, and they go.
        QCOMPARE(h.form->SaveToDevImage(), quelvar::ui::kPendingImage);
        GsmHarness::OnModal([](QWidget* dialog) { GsmHarness::ClickButton(dialog, "Discard"); });
        h.sim->Unplug();
        QVERIFY(h.WaitAttached(false));
        h.Tick();
        h.Connect();
        QVERIFY(!actUndo(*h.form)->isEnabled());
        QVERIFY(!actRedo(*h.form)->isEnabled());
    }

    // An undo, a new edit and another undo: the second takes back the new edit alone.
    void anEditAfterAnUndoIsUndoneAlone() {
        GsmHarness h;
        h.Connect();
        const auto& alarms = h.form->model.AlarmGrid();
        const std::string first = alarms.Cell(5, 3);
        const std::string second = alarms.Cell(6, 3);
        Click(sgeAlarmList(*h.form), 5, 3);
        QVERIFY(alarms.Cell(5, 3) != first);
        Undo(h.form.get());
        QCOMPARE(alarms.Cell(5, 3), first);
        Click(sgeAlarmList(*h.form), 6, 3);
        QVERIFY(alarms.Cell(6, 3) != second);
        Undo(h.form.get());
        QCOMPARE(alarms.Cell(6, 3), second);
        QCOMPARE(alarms.Cell(5, 3), first);
        QVERIFY(!actUndo(*h.form)->isEnabled());
    }

    void anOfflineLoadIsOneStep() {
        QTemporaryDir dir;
        quelvar::settings::SettingsModel first;
        first.AlarmGrid().SetCell(1, 2, "130");
        quelvar::settings::SettingsModel second;
        second.AlarmGrid().SetCell(1, 2, "602");
        second.Rule(TableId::kPhoneNumbers).SetValue("T1", "+3611");
        const QString a = dir.filePath("a.am2");
        const QString b = dir.filePath("b.am2");
        QVERIFY(quelvar::settings::SaveSettingsFile(first, 0, a.toStdString()).ok);
        QVERIFY(quelvar::settings::SaveSettingsFile(second, 1, b.toStdString()).ok);

        GsmHarness h;  // attached, never logged in: the offline view
        QVERIFY(h.WaitAttached());
        QString next = a;
        h.form->SetFileNameAsk([&next](bool) { return next; });
        // Each open restarts the monitor, whose tick would log the device in and end the
        // offline view while the window is activated (slowly, under Wine): the test ticks.
        QTest::mouseClick(tbtnOpen(*h.form), Qt::LeftButton);
        h.form->Timer1.stop();
        auto& alarms = h.form->model.AlarmGrid();
        Click(sgeAlarmList(*h.form), 6, 2);
        QCOMPARE(alarms.Cell(6, 2), std::string("X"));
        next = b;
        h.form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(h.form.get()));
        QTest::keyClick(h.form.get(), Qt::Key_O, Qt::ControlModifier);
        h.form->Timer1.stop();
        QCOMPARE(alarms.Cell(1, 2), std::string("602"));
        QCOMPARE(h.form->Controls().OpModeIndex(), 1);
        QCOMPARE(actUndo(*h.form)->text(), QString("Undo load of b.am2"));

        Undo(h.form.get());
        QCOMPARE(alarms.Cell(1, 2), std::string("130"));
        QCOMPARE(alarms.Cell(6, 2), std::string("X"));
        QCOMPARE(h.form->model.Grid(TableId::kPhoneNumbers).Cell(1, 1), std::string());
        QCOMPARE(h.form->Controls().OpModeIndex(), 0);
        QCOMPARE(h.form->SaveToDevImage(), quelvar::ui::kPendingImage);
        Undo(h.form.get());
        QCOMPARE(alarms.Cell(6, 2), std::string());
        QTest::keyClick(h.form.get(), Qt::Key_Y, Qt::ControlModifier);
        QTest::keyClick(h.form.get(), Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(alarms.Cell(1, 2), std::string("602"));
        QCOMPARE(h.form->Controls().OpModeIndex(), 1);
    }

    // A file loaded into the device whose mode differs from the device's: the load is still
    // one step under the file's name, the mode change inside it.
    void aLoadIntoTheDeviceThatChangesTheModeIsOneNamedStep() {
        QTemporaryDir dir;
        quelvar::settings::SettingsModel transparent;
        transparent.AlarmGrid().SetCell(1, 2, "602");
        const QString file = dir.filePath("other-mode.am2");
        QVERIFY(quelvar::settings::SaveSettingsFile(transparent, 1, file.toStdString()).ok);

        GsmHarness h;
        h.Connect();
        QCOMPARE(h.form->Controls().OpModeIndex(), 0);
        auto& alarms = h.form->model.AlarmGrid();
        const std::string held = alarms.Cell(1, 2);
        h.form->SetFileNameAsk([&file](bool) { return file; });
        QTest::mouseClick(tbtnOpen(*h.form), Qt::LeftButton);
        h.form->Timer1.stop();
        QCOMPARE(alarms.Cell(1, 2), std::string("602"));
        QCOMPARE(h.form->Controls().OpModeIndex(), 1);
        QCOMPARE(actUndo(*h.form)->text(), QString("Undo load of other-mode.am2"));

        Undo(h.form.get());
        QCOMPARE(alarms.Cell(1, 2), held);
        QCOMPARE(h.form->Controls().OpModeIndex(), 0);
        QCOMPARE(h.form->SaveToDevImage(), quelvar::ui::kPendingImage);
        QVERIFY(!actUndo(*h.form)->isEnabled());
        QTest::keyClick(h.form.get(), Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(alarms.Cell(1, 2), std::string("602"));
        QCOMPARE(h.form->Controls().OpModeIndex(), 1);
    }
};

QTEST_MAIN(GsmUndoTest)
#include "GsmUndoTest.moc"

// The simulated communicator's window drives the main window as a real device would: its
// cable, its password, its status texts and its event lines, all through real clicks and keys.

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>
#include <QTest>

#include "GsmHarness.h"
#include "settings/AlarmTableImage.h"
#include "ui/DeviceLog.h"
#include "ui/QtText.h"
#include "ui/SimulatorWindow.h"

namespace ui = quelvar::ui;
using quelvar::test::GsmHarness;
using namespace quelvar::test;  // the window's controls by name

namespace {

void SetPassword(ui::SimulatorWindow& window, const QString& digits) {
    window.edPassword->clear();
    QTest::keyClicks(window.edPassword, digits);
    QTest::mouseClick(window.btnSetPassword, Qt::LeftButton);
}

// The parts of the main window that must stay in sight, on the screen: the title bar down to
// the tool bar's bottom, and the status bar.
QRect TopStrip(const ui::TFormMain& main) {
    const QToolBar* bar = ToolBar1(main);
    const QRect frame = main.frameGeometry();
    return QRect(frame.topLeft(),
                 QPoint(frame.right(), bar->mapToGlobal(QPoint(0, bar->height())).y() - 1));
}

QRect StatusStrip(const ui::TFormMain& main) {
    const QRect frame = main.frameGeometry();
    return QRect(QPoint(frame.left(), sb1(main)->mapToGlobal(QPoint(0, 0)).y()),
                 frame.bottomRight());
}

// The main window's frame where a window manager would put it on a screen of `room`: centred,
// or in a top corner.
void PutMainWindow(ui::TFormMain& main, const QRect& room, Qt::Alignment where) {
    const QSize frame = main.frameGeometry().size();
    QPoint corner = room.center() - QPoint(frame.width(), frame.height()) / 2;
    if (where & Qt::AlignTop) {
        corner = where & Qt::AlignLeft ? room.topLeft()
                                       : QPoint(room.right() + 1 - frame.width(), room.top());
    }
    main.move(corner);
}

// The text an editor of the window shows, and whether it has the room to show it.
void VerifyShows(QWidget* field, const QString& text) {
    auto* editor = field->findChild<QLineEdit*>();
    QVERIFY(editor != nullptr);
    QCOMPARE(editor->displayText(), text);
    QVERIFY2(editor->isVisible(), qPrintable(text));
    // Drawn, not only held: under Wine a font the platform lacked once left every field blank.
    const QImage drawn = editor->grab().toImage();
    int ink = 0;
    for (int y = 0; y < drawn.height(); ++y) {
        for (int x = 0; x < drawn.width(); ++x) {
            ink += qGray(drawn.pixel(x, y)) < 128 ? 1 : 0;
        }
    }
    QVERIFY2(ink > 10, qPrintable(text));
    const QFontMetrics metrics = editor->fontMetrics();
    QVERIFY2(editor->width() >= metrics.horizontalAdvance(text), qPrintable(text));
    QVERIFY2(editor->height() >= metrics.height(), qPrintable(text));
}

}  // namespace

class GsmSimulatorWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void unplugShowsDisconnectedAndAPasswordSetThereIsAskedAtLogIn() {
        GsmHarness h;
        ui::SimulatorWindow window(*h.sim);
        window.show();
        h.Connect();
        QVERIFY(h.form->DeviceLoggedIn());  // the factory password asks for none

        QTest::mouseClick(window.btnPlug, Qt::LeftButton);
        QVERIFY(h.WaitAttached(false));
        h.Tick();
        QCOMPARE(h.form->Controls().StatusText(0), QString(ui::kUsbDisconnected));
        QCOMPARE(window.btnPlug->text(), QString("Plug in"));

        SetPassword(window, "4711");
        QCOMPARE(h.sim->Parameter("PW"), std::string("4729"));  // as the device holds it
        QCOMPARE(window.lbPassword->text(), QString("now 4711"));
        QCOMPARE(window.lbState->text(), QString("Password set"));
        bool asked = false;
        GsmHarness::OnModal([&](QWidget* dialog) {
            asked = true;
            auto* field = dialog->findChild<QLineEdit*>();
            QTest::keyClicks(field, "4711");
            QTest::keyClick(field, Qt::Key_Return);
        });
        QTest::mouseClick(window.btnPlug, Qt::LeftButton);
        QVERIFY(h.WaitAttached());
        h.Tick();
        QVERIFY(asked);
        QCOMPARE(h.form->Controls().StatusText(0), QString(ui::kUsbConnected));
        QVERIFY(h.form->DeviceLoggedIn());
    }

    // Three digits are no password the device takes; the one it holds stays.
    void passwordIsFourDigitsOrNone() {
        GsmHarness h(false);
        ui::SimulatorWindow window(*h.sim);
        window.show();
        SetPassword(window, "123");
        QCOMPARE(h.sim->Parameter("PW"), std::string(quelvar::sim::kDefaultPassword));
        QCOMPARE(window.lbState->text(), QString("The password is four digits, or none"));
        SetPassword(window, "00125");  // the field takes four at most
        QCOMPARE(h.sim->Parameter("PW"), std::string("30"));
        QCOMPARE(window.lbPassword->text(), QString("now 0012"));
        SetPassword(window, "");
        QCOMPARE(h.sim->Parameter("PW"), std::string(quelvar::sim::kDefaultPassword));
        QCOMPARE(window.lbPassword->text(), QString("now none"));
    }

    // As after a restart on a state file: the window shows the password the device holds, and
    // no second line says otherwise.
    void showsThePasswordTheDeviceHoldsWhenItOpens() {
        GsmHarness h(false);
        h.sim->SetParameter("PW", "4729");  // 4711, as the device holds it
        ui::SimulatorWindow window(*h.sim);
        window.show();
        QCOMPARE(window.lbPassword->text(), QString("now 4711"));
        QVERIFY(!window.lbState->text().contains("Password"));
    }

    void statusTextsAndEventLinesReachTheMainWindow() {
        GsmHarness h;
        h.sim->SetStatusPeriod(std::chrono::milliseconds(20));
        ui::SimulatorWindow window(*h.sim);
        window.show();
        h.Connect();
        window.spSignal->setValue(7);
        window.cbInput1->setCurrentText("ALARM");
        window.cbLine->setCurrentText("OFFHOOK");
        window.edEvent->clear();
        QTest::keyClicks(window.edEvent, "E130 01 042");
        QTest::mouseClick(window.btnSendEvent, Qt::LeftButton);
        QVERIFY(QTest::qWaitFor(
            [&] {
                h.Tick();
                return stGSM(*h.form)->text() == "7" && stINPUT1(*h.form)->text() == "ALARM" &&
                       stLINE(*h.form)->text() == "OFFHOOK" &&
                       !lbEvents(*h.form)->findItems("E130 01 042", Qt::MatchExactly).isEmpty();
            },
            3000));
        QCOMPARE(stINPUT2(*h.form)->text(), QString("IDLE"));
    }

    // The cable can be pulled while the main window asks for the password: the dialog blocks
    // the main window only.
    void usableWhileADialogOfTheMainWindowIsOpen() {
        GsmHarness h(false);
        h.sim->SetParameter("PW", "1252");
        ui::SimulatorWindow window(*h.sim);
        window.show();
        bool unpluggedMeanwhile = false;
        {
            quelvar::test::ModalScript script([&](QWidget* dialog, int) {
                QTest::mouseClick(window.btnPlug, Qt::LeftButton);
                unpluggedMeanwhile = !h.sim->IsPlugged();
                QTest::keyClick(dialog->findChild<QLineEdit*>(), Qt::Key_Return);
            });
            h.Connect();
        }
        QVERIFY(unpluggedMeanwhile);
        QCOMPARE(window.btnPlug->text(), QString("Plug in"));
        QVERIFY(h.WaitAttached(false));  // the receiver notices the unplug on its own time
        h.Tick();
        QCOMPARE(h.form->Controls().StatusText(0), QString(ui::kUsbDisconnected));
    }

    // Beside the main window where there is room, and never past the screen's edge.
    void placedBesideTheMainWindowAndWhollyOnScreen() {
        GsmHarness h(false);
        ui::SimulatorWindow window(*h.sim);
        window.show();
        const QRect screen = h.form->screen()->availableGeometry();
        window.PlaceBeside(*h.form);  // the main window leaves no room on this screen
        QVERIFY(screen.contains(window.frameGeometry()));

        QWidget small;
        small.setGeometry(screen.left() + 10, screen.top() + 10, 200, 150);
        small.show();
        window.PlaceBeside(small);
        QVERIFY(screen.contains(window.frameGeometry()));
        QVERIFY(window.frameGeometry().left() > small.frameGeometry().right());
        QVERIFY(!window.frameGeometry().intersects(small.frameGeometry()));
    }

    // Screens of the sizes in use; the main window centred, as window managers put it, or in a
    // top corner.
    void placedWhereTheMainWindowsToolBarAndStatusBarShow_data() {
        QTest::addColumn<QRect>("room");
        QTest::addColumn<Qt::Alignment>("where");
        QTest::addColumn<bool>("beside");
        const Qt::Alignment centre = Qt::AlignCenter;
        const Qt::Alignment left = Qt::AlignTop | Qt::AlignLeft;
        const Qt::Alignment right = Qt::AlignTop | Qt::AlignRight;
        const QRect large(0, 0, 1920, 1080);
        const QRect laptop(0, 0, 1280, 800);
        const QRect small(0, 0, 1024, 768);
        QTest::newRow("1920x1080, centred") << large << centre << true;
        QTest::newRow("1920x1080, top left") << large << left << true;
        QTest::newRow("1920x1080, top right") << large << right << true;
        QTest::newRow("1280x800, centred") << laptop << centre << false;
        QTest::newRow("1280x800, top left") << laptop << left << false;
        QTest::newRow("1024x768, centred") << small << centre << false;
        QTest::newRow("1024x768, top right") << small << right << false;
        // A panel above and one on the left take part of the screen.
        QTest::newRow("1280x800, panels") << QRect(60, 28, 1220, 772) << centre << false;
    }

    void placedWhereTheMainWindowsToolBarAndStatusBarShow() {
        QFETCH(QRect, room);
        QFETCH(Qt::Alignment, where);
        QFETCH(bool, beside);
        GsmHarness h(false);
        ui::SimulatorWindow window(*h.sim);
        window.show();
        PutMainWindow(*h.form, room, where);
        window.PlaceBeside(*h.form, room);
        const QRect placed = window.frameGeometry();
        QVERIFY(room.contains(placed));
        QVERIFY(!placed.intersects(StatusStrip(*h.form)));
        QVERIFY(!placed.intersects(TopStrip(*h.form)));
        QCOMPARE(!placed.intersects(h.form->frameGeometry()), beside);
        // The events list, which the simulated device fills, is not hidden either.
        const QListWidget* events = lbEvents(*h.form);
        QVERIFY(!placed.intersects(QRect(events->mapToGlobal(QPoint(0, 0)), events->size())));
    }

    // Too tall for the room between the tool bar and the status bar: it covers the grids and
    // the tool bar rather than the status bar, where the sequences say how they ended.
    void tooTallToFitBetweenTheBarsLeavesTheStatusBarInSight() {
        GsmHarness h(false);
        ui::SimulatorWindow window(*h.sim);
        const QRect room(0, 0, 1024, 768);
        PutMainWindow(*h.form, room, Qt::AlignCenter);
        window.setMinimumHeight(StatusStrip(*h.form).top() - TopStrip(*h.form).bottom() + 40);
        window.show();
        window.PlaceBeside(*h.form, room);
        const QRect placed = window.frameGeometry();
        QVERIFY(room.contains(placed));
        QVERIFY(!placed.intersects(StatusStrip(*h.form)));
    }

    // What the device reports when the window opens, the factory's or a state file's, is what
    // its fields show, also a text that none of the choices holds.
    void fieldsShowWhatTheDeviceReports_data() {
        QTest::addColumn<int>("signal");  // -1: it wanders
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("input1");
        QTest::addColumn<QString>("input2");
        QTest::addColumn<QString>("signalShown");
        QTest::newRow("factory") << -1 << "ONHOOK"
                                 << "IDLE"
                                 << "IDLE"
                                 << "wandering";
        QTest::newRow("kept") << 7 << "NO LINE"
                              << "ALARM"
                              << "TAMPER"
                              << "7";
    }

    void fieldsShowWhatTheDeviceReports() {
        QFETCH(int, signal);
        QFETCH(QString, line);
        QFETCH(QString, input1);
        QFETCH(QString, input2);
        QFETCH(QString, signalShown);
        GsmHarness h(false);
        quelvar::sim::SimulatedCommunicator::StatusTexts texts;
        if (signal >= 0) {
            texts.signal = signal;
        }
        texts.line = line.toStdString();
        texts.input1 = input1.toStdString();
        texts.input2 = input2.toStdString();
        h.sim->SetStatusTexts(texts);
        ui::SimulatorWindow window(*h.sim);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        VerifyShows(window.spSignal, signalShown);
        VerifyShows(window.cbLine, line);
        VerifyShows(window.cbInput1, input1);
        VerifyShows(window.cbInput2, input2);
        // Opening the window changed nothing the device reports.
        const auto now = h.sim->GetStatusTexts();
        QCOMPARE(now.signal, texts.signal);
        QCOMPARE(QString::fromStdString(now.line), line);
        QCOMPARE(QString::fromStdString(now.input1), input1);
        QCOMPARE(QString::fromStdString(now.input2), input2);
    }

    // The password the main window set is what the simulator window shows.
    void showsThePasswordTheMainWindowSet() {
        GsmHarness h;
        ui::SimulatorWindow window(*h.sim);
        window.show();
        h.Connect();
        QCOMPARE(window.lbPassword->text(), QString("now none"));
        quelvar::test::ModalScript twice([](QWidget* dialog, int) {
            QTest::keyClicks(dialog->findChild<QLineEdit*>(), "4711");
            QTest::keyClick(dialog->findChild<QLineEdit*>(), Qt::Key_Return);
        });
        QTest::mouseClick(ToolButton1(*h.form), Qt::LeftButton);
        QCOMPARE(h.form->Controls().StatusText(2), QString("Password changed"));
        QTRY_COMPARE(window.lbPassword->text(), QString("now 4711"));
    }

    // "Stop answering" silences the device after the commands given; off, it answers again.
    void stopAnsweringSwitchSilencesTheDevice() {
        GsmHarness h;
        ui::SimulatorWindow window(*h.sim);
        window.show();
        h.Connect();
        window.spSilentAfter->setValue(0);
        QTest::mouseClick(window.chkSilent, Qt::LeftButton);
        QVERIFY(h.sim->AnsweringStopped());
        // The password change is one command: quick to see unanswered.
        quelvar::test::ModalScript twice([](QWidget* dialog, int) {
            QTest::keyClicks(dialog->findChild<QLineEdit*>(), "4711");
            QTest::keyClick(dialog->findChild<QLineEdit*>(), Qt::Key_Return);
        });
        QTest::mouseClick(ToolButton1(*h.form), Qt::LeftButton);
        // Unconfirmed is not unchanged: the device may have kept the new one.
        QCOMPARE(h.form->Controls().StatusText(2),
                 QString("The device did not confirm the new password; it "
                         "may or may not have changed, so try both"));
        QTest::mouseClick(window.chkSilent, Qt::LeftButton);
        QVERIFY(!h.sim->AnsweringStopped());
        QTest::mouseClick(ToolButton1(*h.form), Qt::LeftButton);
        QCOMPARE(h.form->Controls().StatusText(2), QString("Password changed"));
    }

    // Writes acknowledged but not kept: the verify tells, and the differences can be shown.
    void forgottenWritesFailTheVerify() {
        GsmHarness h;
        ui::SimulatorWindow window(*h.sim);
        window.show();
        h.Connect();
        // An edit in the first block of the alarm table, which the device will not keep.
        const ui::StringGridView* alarms = sgeAlarmList(*h.form);
        QTest::mouseClick(alarms->viewport(), Qt::LeftButton, {},
                          alarms->CellRect(quelvar::settings::kAlarmFirstCallColumn, 1).center());
        QTest::mouseClick(window.btnForgetWrites, Qt::LeftButton);
        h.ClickWriteBack();
        QVERIFY2(h.form->Controls().StatusText(2).startsWith("Verify failed"),
                 qPrintable(h.form->Controls().StatusText(2)));
        QVERIFY(actShowDifferences(*h.form)->isEnabled());
    }
};

QTEST_MAIN(GsmSimulatorWindowTest)
#include "GsmSimulatorWindowTest.moc"

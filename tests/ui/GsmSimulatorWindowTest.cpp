// The simulated communicator's window drives the main window as a real device would: its
// cable, its password, its status texts and its event lines, all through real clicks and keys.

#include <QLabel>
#include <QTest>

#include "GsmHarness.h"
#include "ui/DeviceLog.h"
#include "ui/QtText.h"
#include "ui/SimulatorWindow.h"

namespace ui = quelvar::ui;
using quelvar::test::GsmHarness;

namespace {

void SetPassword(ui::SimulatorWindow& window, const QString& digits) {
    window.edPassword->clear();
    QTest::keyClicks(window.edPassword, digits);
    QTest::mouseClick(window.btnSetPassword, Qt::LeftButton);
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
        QCOMPARE(h.form->StatusText(0), QString(ui::kUsbDisconnected));
        QCOMPARE(window.btnPlug->text(), QString("Plug in"));

        SetPassword(window, "4711");
        QCOMPARE(h.sim->Parameter("PW"), std::string("4729"));  // as the device holds it
        QCOMPARE(window.lbState->text(), QString("Password: 4711"));
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
        QCOMPARE(h.form->StatusText(0), QString(ui::kUsbConnected));
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
        QCOMPARE(window.lbState->text(), QString("Password: 0012"));
        SetPassword(window, "");
        QCOMPARE(h.sim->Parameter("PW"), std::string(quelvar::sim::kDefaultPassword));
        QCOMPARE(window.lbState->text(), QString("Password: none"));
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
                return h.form->stGSM->text() == "7" && h.form->stINPUT1->text() == "ALARM" &&
                       h.form->stLINE->text() == "OFFHOOK" &&
                       !h.form->lbEvents->findItems("E130 01 042", Qt::MatchExactly).isEmpty();
            },
            3000));
        QCOMPARE(h.form->stINPUT2->text(), QString("IDLE"));
    }
};

QTEST_MAIN(GsmSimulatorWindowTest)
#include "GsmSimulatorWindowTest.moc"

// The connection monitor against the simulated communicator: transitions, status labels
// and the list of last events.

#include <QSignalSpy>
#include <QTest>
#include <mutex>

#include "GsmHarness.h"

using quelvar::test::GsmHarness;
using namespace quelvar::test;  // the window's controls by name

namespace {

QColor ColourOf(QLabel* label) {
    return label->palette().color(QPalette::WindowText);
}

const QColor kGreen(0, 55, 0);
const QColor kRed(255, 0, 0);

}  // namespace

class GsmMonitorTest : public QObject {
    Q_OBJECT

  private slots:
    void designStateBeforeAnyDevice() {
        GsmHarness h(false);
        QCOMPARE(h.form->windowTitle(), QString("Quelvar GSM"));
        QCOMPARE(h.form->size(), QSize(988, 524));
        QCOMPARE(h.form->minimumSize(), h.form->maximumSize());
        QCOMPARE(h.form->Controls().StatusText(0), QString("USB: Disconnected"));
        QVERIFY(ToolBar1(*h.form)->isVisible());
        QVERIFY(pb1(*h.form)->isVisible());
        QVERIFY(!gbMset(*h.form)->isVisible());
        QCOMPARE(stGSM(*h.form)->text(), QString("-"));
        QCOMPARE(ColourOf(stGSM(*h.form)), kGreen);
        h.Tick();
        QCOMPARE(h.form->Controls().StatusText(0), QString("USB: Disconnected"));
    }

    void firstConnectionLogsInAndShowsTheSettings() {
        GsmHarness h;
        h.Connect();
        QCOMPARE(h.form->Controls().StatusText(0), QString("USB: Connected"));
        QVERIFY(pb1(*h.form)->isVisible());
        QVERIFY(gbMset(*h.form)->isVisible());
        QCOMPARE(h.form->Controls().StatusText(1), QString("Firmware version 2.14"));
        QCOMPARE(h.form->SaveToDevImage(), 2);
    }

    void statusesFollowFromTheFifthAttachedTick() {
        GsmHarness h;
        h.Connect();  // tick 1
        h.sim->SendStatus(200, "16");
        h.sim->SendStatus(202, "IDLE");
        h.sim->SendStatus(203, "ALARM");
        h.sim->SendStatus(204, "READY");
        h.sim->SendStatus(205, "OFFHOOK");
        QVERIFY(
            QTest::qWaitFor([&] { return h.form->connection->Snapshot().lineState == "OFFHOOK"; }));
        for (int tick = 2; tick <= 4; ++tick) {
            h.Tick();
            QCOMPARE(stGSM(*h.form)->text(), QString("-"));
        }
        h.Tick();  // the fifth
        QCOMPARE(stGSM(*h.form)->text(), QString("16"));
        QCOMPARE(ColourOf(stGSM(*h.form)), kGreen);
        QCOMPARE(ColourOf(stINPUT1(*h.form)), kGreen);
        QCOMPARE(stINPUT2(*h.form)->text(), QString("ALARM"));
        QCOMPARE(ColourOf(stINPUT2(*h.form)), kRed);
        QCOMPARE(stPIN(*h.form)->text(), QString("READY"));
        QCOMPARE(ColourOf(stLINE(*h.form)), kRed);

        h.sim->SendStatus(200, "15");
        h.sim->SendStatus(204, "%null%");
        h.sim->SendStatus(205, "ONHOOK");
        QVERIFY(
            QTest::qWaitFor([&] { return h.form->connection->Snapshot().lineState == "ONHOOK"; }));
        h.Tick();
        QCOMPARE(ColourOf(stGSM(*h.form)), kRed);
        QCOMPARE(stPIN(*h.form)->text(), QString("READY"));
        QCOMPARE(ColourOf(stLINE(*h.form)), kGreen);
    }

    // A device plugged in again has sent no round of statuses yet: its ticks are counted anew.
    void statusesWaitForTheirTicksAgainAfterAReplug() {
        GsmHarness h;
        auto signalIs = [&](const std::string& signal) {
            return QTest::qWaitFor(
                [&] { return h.form->connection->Snapshot().gsmSignal == signal; });
        };
        h.Connect();
        h.sim->SendStatus(200, "16");
        QVERIFY(signalIs("16"));
        for (int i = 0; i < 4; ++i) {
            h.Tick();
        }
        QCOMPARE(stGSM(*h.form)->text(), QString("16"));
        h.sim->Unplug();
        QVERIFY(h.WaitAttached(false));
        h.Tick();
        h.Connect();  // tick 1 of the new attachment
        h.sim->SendStatus(200, "22");
        QVERIFY(signalIs("22"));
        for (int tick = 2; tick <= 4; ++tick) {
            h.Tick();
            QCOMPARE(stGSM(*h.form)->text(), QString("-"));  // cleared at the detach
        }
        h.Tick();
        QCOMPARE(stGSM(*h.form)->text(), QString("22"));
    }

    void signalThatIsNoNumberStopsNothingElse() {
        GsmHarness h;
        h.Connect();
        for (int i = 0; i < 4; ++i) {
            h.Tick();
        }
        h.sim->SendStatus(206, "E130 01 001");
        h.sim->SendStatus(205, "RING");
        QVERIFY(
            QTest::qWaitFor([&] { return h.form->connection->Snapshot().lineState == "RING"; }));
        h.Tick();
        QCOMPARE(stGSM(*h.form)->text(), QString());
        QCOMPARE(ColourOf(stGSM(*h.form)), kGreen);
        QCOMPARE(stLINE(*h.form)->text(), QString("RING"));
        QCOMPARE(lbEvents(*h.form)->count(), 1);
    }

    void eventListShowsOneLinePerTickAndAtMostNineteen() {
        GsmHarness h;
        h.Connect();
        for (int i = 0; i < 4; ++i) {
            h.Tick();
        }
        {
            const quelvar::link::ConnHIDCOM::LockGuard lock(*h.form->connection);
            h.form->connection->PushEvent("0");
            for (int i = 1; i <= 21; ++i) {
                h.form->connection->PushEvent("line " + std::to_string(i));
            }
        }
        h.Tick();  // takes "0", which is never shown
        QCOMPARE(lbEvents(*h.form)->count(), 0);
        for (int i = 0; i < 19; ++i) {
            h.Tick();
        }
        QCOMPARE(lbEvents(*h.form)->count(), 19);
        QCOMPARE(lbEvents(*h.form)->item(0)->text(), QString("line 1"));
        h.Tick();
        QCOMPARE(lbEvents(*h.form)->count(), 19);
        QCOMPARE(lbEvents(*h.form)->item(0)->text(), QString("line 2"));
        QCOMPARE(lbEvents(*h.form)->item(18)->text(), QString("line 20"));
    }

    void unplugHidesTheSettingsAndKeepsTheEvents() {
        GsmHarness h;
        h.Connect();
        for (int i = 0; i < 4; ++i) {
            h.Tick();
        }
        h.sim->SendStatus(206, "E602 00 000");
        QTest::qWait(20);
        h.Tick();
        QCOMPARE(lbEvents(*h.form)->count(), 1);
        h.ClickWriteBack();
        QCOMPARE(h.form->Controls().StatusText(2), QString("Written and verified"));
        h.sim->Unplug();
        QVERIFY(h.WaitAttached(false));
        h.Tick();
        QCOMPARE(h.form->Controls().StatusText(0), QString("USB: Disconnected"));
        QCOMPARE(h.form->Controls().StatusText(2), QString());
        QVERIFY(!gbMset(*h.form)->isVisible());
        QVERIFY(!ToolBar1(*h.form)->isVisible());
        QVERIFY(!pb1(*h.form)->isVisible());
        QCOMPARE(lbEvents(*h.form)->count(), 1);
        // The gone device's firmware and live state are no longer shown as if current.
        QCOMPARE(h.form->Controls().StatusText(1), QString());
        for (QLabel* label : {stPIN(*h.form), stGSM(*h.form), stLINE(*h.form), stINPUT1(*h.form),
                              stINPUT2(*h.form)}) {
            QCOMPARE(label->text(), QString("-"));
        }
    }

    void everyAttachmentRunsTheConnectTransitionOnce() {
        GsmHarness h;
        h.Connect();
        h.Tick();
        h.sim->Unplug();
        QVERIFY(h.WaitAttached(false));
        h.Tick();
        h.Connect();
        h.Tick();
        int logIns = 0;
        for (const std::string& text : h.CommandTexts()) {
            logIns += text == "PW" ? 1 : 0;
        }
        QCOMPARE(logIns, 2);
        QVERIFY(ToolBar1(*h.form)->isVisible());
        QVERIFY(gbMset(*h.form)->isVisible());
    }

    void deviceWithoutAccessRightsIsNamedInTheStatusBar() {
        GsmHarness h(false);
        h.sim->DenyPermission(true);
        h.sim->Plug();
        QVERIFY(QTest::qWaitFor([&] { return h.sim->EnumerateCount() > 2; }));
        h.Tick();
        QVERIFY(
            h.form->Controls().StatusText(2).startsWith("No permission to open the communicator"));
        QCOMPARE(h.form->Controls().StatusText(0), QString("USB: Disconnected"));
        h.sim->DenyPermission(false);
        QVERIFY(h.WaitAttached());
        h.Tick();
        QCOMPARE(h.form->Controls().StatusText(2), QString());
        QCOMPARE(h.form->Controls().StatusText(0), QString("USB: Connected"));
    }

    void timerTicksEveryHalfSecondAfterTheFirst() {
        GsmHarness h(false);
        h.form->Timer1.setInterval(100);
        h.form->Timer1.start();
        QSignalSpy ticks(h.form.get(), &quelvar::ui::TFormMain::ticked);
        QVERIFY(ticks.wait(1000));
        QCOMPARE(h.form->Timer1.interval(), 500);
        QVERIFY(h.form->Timer1.isActive());
    }
};

QTEST_MAIN(GsmMonitorTest)
#include "GsmMonitorTest.moc"

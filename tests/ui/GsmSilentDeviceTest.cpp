// A device that stays plugged in but stops answering, one whose password cannot be read, and one
// that acknowledges what it does not keep: the window says so and is usable again at once.

#include <QTest>
#include <chrono>

#include "GsmHarness.h"

using quelvar::settings::TableId;
using quelvar::test::GsmHarness;
using namespace quelvar::test;  // the window's controls by name
using Clock = std::chrono::steady_clock;

namespace {

// The log-in's 402 exchanges: "PW", 14 parameters, "SMODE", "GACK", 256 + 128 blocks, "VSTR".
// The write-back's 403 writes: 16 parameters, 3 erases, 256 + 128 blocks; its verify reads as
// the log-in does, without "PW". Where the device stops: how many it answers first.
struct Silence {
    const char* where;
    std::size_t answered;
};
// One command left unanswered is no silence: the ends are a few commands before the last.
constexpr Silence kLogInSilences[] = {{"start", 1}, {"middle", 200}, {"end", 390}};
constexpr Silence kWriteBackSilences[] = {
    {"start of the writes", 0},   {"middle of the writes", 200}, {"end of the writes", 400},
    {"start of the verify", 403}, {"middle of the verify", 600}, {"end of the verify", 790}};
// The device's whole silence, at most: the silence limit and one last command's wait.
constexpr std::chrono::milliseconds kGivesUpWithin{4000};

// The real acknowledgement wait, rather than the harness's short one.
void WaitAsLong(GsmHarness& h) {
    h.form->connection->SetAckTimeout(quelvar::link::kDefaultAckTimeout);
}

// From the last answer to the end of the sequence.
std::chrono::milliseconds SilentFor(GsmHarness& h, std::size_t answered, Clock::time_point end) {
    const auto commands = h.sim->Commands();
    if (commands.size() <= answered) {
        return std::chrono::milliseconds::max();
    }
    return std::chrono::duration_cast<std::chrono::milliseconds>(end - commands[answered].at);
}

void Edit(GsmHarness& h) {
    h.form->model.Grid(TableId::kSimCard).SetCell(1, 0, "4321");
}

}  // namespace

class GsmSilentDeviceTest : public QObject {
    Q_OBJECT

  private slots:
    void silentDuringTheLogInsReadIsGivenUpWithinFourSeconds() {
        for (const Silence& silence : kLogInSilences) {
            GsmHarness h;
            WaitAsLong(h);
            h.sim->StopAnswering(silence.answered);
            h.Connect();
            const auto silent = SilentFor(h, silence.answered, Clock::now());
            QVERIFY2(silent < kGivesUpWithin, silence.where);
            QVERIFY2(
                h.form->Controls().StatusText(2).startsWith("The device stopped answering while "),
                qPrintable(QString(silence.where) + ": " + h.form->Controls().StatusText(2) + " " +
                           QString::number(h.sim->CommandCount())));
            QVERIFY(h.form->Controls().StatusText(2).endsWith(": nothing on it was changed"));
            QVERIFY(!h.form->SequenceRunning());
        }
    }

    void silentDuringTheWriteBackOrItsVerifyKeepsTheEditsMarked() {
        for (const Silence& silence : kWriteBackSilences) {
            GsmHarness h;
            h.Connect();
            WaitAsLong(h);
            Edit(h);
            h.sim->ClearCommands();
            h.sim->StopAnswering(silence.answered);
            h.ClickWriteBack();
            const auto silent = SilentFor(h, silence.answered, Clock::now());
            const bool monitorBack = h.form->Timer1.isActive();
            h.form->Timer1.stop();
            QVERIFY2(silent < kGivesUpWithin, silence.where);
            const QString status = h.form->Controls().StatusText(2);
            const bool inVerify = silence.answered >= 403;
            QVERIFY2(status.startsWith("The device stopped answering while ") &&
                         status.endsWith(inVerify ? ": everything was written, not verified"
                                                  : ": it holds a partial configuration"),
                     qPrintable(QString(silence.where) + ": " + status));
            QCOMPARE(h.form->SaveToDevImage(), quelvar::ui::kPendingImage);
            QVERIFY(h.form->isEnabled());
            QVERIFY2(monitorBack, silence.where);
        }
    }

    void passwordThatIsNoNumberSaysToResetTheDevice() {
        GsmHarness h;
        h.sim->SetParameter("PW", "12a4");
        h.Connect();
        QCOMPARE(h.form->Controls().StatusText(2), QString(quelvar::ui::kPasswordUnreadable));
        QVERIFY(!gbMset(*h.form)->isVisible());
        QVERIFY(!h.form->DeviceLoggedIn());
    }

    // A number no four digits give (0000 to 9999 are 18 to 10017) is said as plainly: asking
    // for a password that can never be right would only look like a wrong entry.
    void passwordNoEntryReachesSaysToResetTheDevice() {
        for (const char* held : {"", "17", "10018", "-5"}) {
            GsmHarness h;
            h.sim->SetParameter("PW", held);
            h.Connect();
            QVERIFY2(h.form->Controls().StatusText(2) == QString(quelvar::ui::kPasswordOutOfReach),
                     held);
            QVERIFY(!h.form->DeviceLoggedIn());
        }
    }

    // The verify compares the mode and the acknowledgement marks too, not only the settings.
    void verifyCatchesAModeOrMarksAcknowledgedButNotKept() {
        for (const char* key : {"SMODE", "GACK"}) {
            GsmHarness h;
            h.Connect();
            if (std::string(key) == "SMODE") {
                QTest::mouseClick(ModeButton(*h.form, 1), Qt::LeftButton, {}, QPoint(7, 10));
            } else {
                h.form->model.Grid(TableId::kPhoneNumbers).SetCell(2, 2, "X");
                QCOMPARE(h.form->ackMask(), std::string("1100"));  // the column is the marks
            }
            h.sim->ForgetSetsOf({key});
            h.ClickWriteBack();
            h.form->Timer1.stop();
            QCOMPARE(h.form->Controls().StatusText(2), QString("Verify failed: 1 setting differs"));
            QCOMPARE(h.form->SaveToDevImage(), quelvar::ui::kPendingImage);
        }
    }
};

QTEST_MAIN(GsmSilentDeviceTest)
#include "GsmSilentDeviceTest.moc"

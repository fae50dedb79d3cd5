// Log-in, initial read, mode layout, write-back and password change, through the real
// dialogs, against the simulated communicator.

#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>

#include "GsmHarness.h"
#include "settings/SettingsFile.h"

using quelvar::settings::TableId;
using quelvar::test::GsmHarness;
using namespace quelvar::test;  // the window's controls by name

namespace {

std::vector<std::string> Expected(std::initializer_list<const char*> texts) {
    return std::vector<std::string>(texts.begin(), texts.end());
}

// The parameter reads of the initial read after "PW", in Standalone mode; the verify after a
// write-back reads in the same order (Transparent mode reads no "GACK").
const std::vector<std::string> kReadOrder =
    Expected({"SIMPIN", "IN1T", "IN1S", "IN2T", "IN2S", "MS1", "Z1CID", "Z2CID", "ACCID", "UPHN1",
              "UPHN2", "UPHN3", "UPHN4", "SFWN", "SMODE", "GACK", "VSTR"});

std::vector<std::string> ReadOrderIn(int mode) {
    std::vector<std::string> order = kReadOrder;
    if (mode == 1) {
        order.erase(std::find(order.begin(), order.end(), "GACK"));
    }
    return order;
}

// Calls `seen` with the running count each time `watched` receives an event of `type`.
class EventCounter : public QObject {
  public:
    EventCounter(QObject* watched, QEvent::Type type, std::function<void(int)> seen)
        : type_(type), seen_(std::move(seen)) {
        watched->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == type_) {
            seen_(++count_);
        }
        return false;
    }

  private:
    QEvent::Type type_;
    std::function<void(int)> seen_;
    int count_ = 0;
};

}  // namespace

class GsmLoginTest : public QObject {
    Q_OBJECT

  private slots:
    void deviceWithoutPasswordLogsInWithoutDialog() {
        GsmHarness h;
        h.Connect();
        QVERIFY(gbMset(*h.form)->isVisible());
        QVERIFY(!h.passwdFrm->isVisible());
        QCOMPARE(h.form->model.Rule(TableId::kSimCard)
                     .GetValue("PIN k\xF3"
                               "d"),
                 std::string("1234"));
    }

    void entryWhoseValuePlus18IsThePasswordLogsIn() {
        GsmHarness h(false);
        h.sim->SetParameter("PW", "1252");
        GsmHarness::AnswerPassword("1111");  // wrong: asked again
        QTimer::singleShot(300, [] { GsmHarness::AnswerPassword("1234"); });
        h.Connect();
        QVERIFY(gbMset(*h.form)->isVisible());
        int asked = 0;
        for (const std::string& text : h.CommandTexts()) {
            asked += text == "PW" ? 1 : 0;
        }
        QCOMPARE(asked, 2);
    }

    void cancelLeavesConnectedAndHiddenAndReplugAsksAgain() {
        GsmHarness h(false);
        h.sim->SetParameter("PW", "1252");
        GsmHarness::OnModal([](QWidget* dialog) {
            QTest::keyClick(dialog->findChild<QLineEdit*>(), Qt::Key_Return);  // too short
        });
        h.Connect();
        QCOMPARE(h.form->Controls().StatusText(0), QString("USB: Connected"));
        QVERIFY(!gbMset(*h.form)->isVisible());
        h.Tick();
        QCOMPARE(h.sim->CommandCount(), std::size_t{1});  // no second log-in while attached

        h.sim->Unplug();
        QVERIFY(h.WaitAttached(false));
        h.Tick();
        GsmHarness::AnswerPassword("1234");
        h.Connect();
        QVERIFY(gbMset(*h.form)->isVisible());
    }

    // After a cancelled password the empty area offers a way back in: Log in asks again as a
    // plug-in does; with settings shown More offers Log in again, which asks before losing
    // edits; unplugged, only Open is offered, and it opens a file.
    void emptyAreaAndMoreOfferAWayBackIn() {
        GsmHarness h(false);
        h.sim->SetParameter("PW", "1252");
        GsmHarness::OnModal([](QWidget* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
        h.Connect();
        QCOMPARE(h.form->Controls().StatusText(2), QString(quelvar::ui::kLogInCancelled));
        h.Tick();
        QVERIFY(pnlNoSettings(*h.form)->isVisible());
        QVERIFY(btnOpenFile(*h.form)->isVisible());
        QVERIFY(btnLogIn(*h.form)->isVisible());

        GsmHarness::AnswerPassword("1234");
        QTest::mouseClick(btnLogIn(*h.form), Qt::LeftButton);
        QVERIFY(gbMset(*h.form)->isVisible());
        QVERIFY(!pnlNoSettings(*h.form)->isVisible());

        h.Tick();
        QVERIFY(actLogInAgain(*h.form)->isEnabled());
        h.form->model.Grid(TableId::kSimCard).SetCell(1, 0, "9999");
        h.sim->ClearCommands();
        QString question;
        GsmHarness::OnModal([&question](QWidget* box) {
            question = GsmHarness::MessageText(box);
            GsmHarness::ClickButton(box, "Cancel");
        });
        GsmHarness::ChooseFromMenu(btnMore(*h.form), actLogInAgain(*h.form));
        QVERIFY2(question.startsWith("1 setting differs from what the device holds and will be "
                                     "lost. Log in again anyway?"),
                 qPrintable(question));
        QCOMPARE(h.sim->CommandCount(), std::size_t{0});
        QCOMPARE(h.form->model.Grid(TableId::kSimCard).Cell(1, 0), std::string("9999"));
        GsmHarness::OnModal([](QWidget* box) {
            GsmHarness::AnswerPassword("1234");  // the log-in's, once the question is closed
            GsmHarness::ClickButton(box, "Log in again");
        });
        GsmHarness::ChooseFromMenu(btnMore(*h.form), actLogInAgain(*h.form));
        QTRY_VERIFY(h.form->model.Grid(TableId::kSimCard).Cell(1, 0) != "9999");

        h.sim->Unplug();
        QVERIFY(h.WaitAttached(false));
        h.Tick();
        QVERIFY(pnlNoSettings(*h.form)->isVisible());
        QVERIFY(!btnLogIn(*h.form)->isVisible());
        QVERIFY(!actLogInAgain(*h.form)->isEnabled());
        QTemporaryDir dir;
        const QString file = dir.filePath("site.am2");
        QVERIFY(quelvar::settings::SaveSettingsFile(quelvar::settings::SettingsModel(), 0,
                                                    file.toStdString())
                    .ok);
        h.form->SetFileNameAsk([file](bool) { return file; });
        QTest::mouseClick(btnOpenFile(*h.form), Qt::LeftButton);
        QVERIFY(gbMset(*h.form)->isVisible());
        QCOMPARE(h.form->Controls().StatusText(1), QString("site.am2"));
    }

    void initialReadAsksInItsOrder() {
        GsmHarness h;
        h.sim->SetParameter("GACK", "1010");
        h.Connect();
        const auto texts = h.CommandTexts();
        QCOMPARE(texts.front(), std::string("PW"));
        QCOMPARE(std::vector<std::string>(texts.begin() + 1, texts.end()), kReadOrder);
        const auto commands = h.sim->Commands();
        QCOMPARE(commands.size(), texts.size() + 256 + 128);
        QCOMPARE(commands[17].address, 0x30000u);
        QCOMPARE(commands[17 + 256].address, 0x32000u);
        QCOMPARE(h.form->ackMask(), std::string("1010"));
        auto& phones = h.form->model.Grid(TableId::kPhoneNumbers);
        QCOMPARE(phones.Cell(2, 1), std::string("X"));
        QCOMPARE(phones.Cell(2, 2), std::string(""));
        QCOMPARE(phones.Cell(2, 3), std::string("X"));
        QCOMPARE(h.form->model.AlarmGrid().Cell(1, 1), std::string("130"));
        QCOMPARE(h.form->model.InputGrid().Cell(6, 1), std::string("X"));
    }

    void modeFollowsSmodeAndTransparentReadsNoAckMarks() {
        GsmHarness h;
        h.sim->SetParameter("SMODE", "standalone");
        h.Connect();
        QCOMPARE(h.form->Controls().OpModeIndex(), 1);
        QVERIFY(gbMonParams(*h.form)->isVisible());
        QVERIFY(!gbPhnrs1(*h.form)->isVisible());
        QVERIFY(!gbExtevents(*h.form)->isVisible());
        QVERIFY(!gbExtevents(*h.form)->isEnabled());
        for (const std::string& text : h.CommandTexts()) {
            QVERIFY(text != "GACK");
        }
    }

    // A Transparent device's marks are never read: the write-back keeps them, whatever the
    // device before it held.
    void aTransparentDeviceKeepsItsOwnMarksAtTheWriteBack() {
        GsmHarness h;
        h.sim->SetParameter("GACK", "1010");
        h.Connect();
        QCOMPARE(h.form->ackMask(), std::string("1010"));
        h.sim->Unplug();
        QVERIFY(h.WaitAttached(false));
        h.Tick();
        h.sim->SetParameter("SMODE", "standalone");
        h.sim->SetParameter("GACK", "0110");
        h.Connect();
        QCOMPARE(h.form->Controls().OpModeIndex(), 1);
        QCOMPARE(h.form->ackMask(), std::string());
        h.ClickWriteBack();
        h.form->Timer1.stop();
        QCOMPARE(h.form->Controls().StatusText(2), QString("Written and verified"));
        QCOMPARE(h.sim->Parameter("GACK"), std::string("0110"));
    }

    void unansweredReadsAreReportedAfterTheInitialRead() {
        GsmHarness h;
        h.sim->DropAnswersTo({2, 5});  // "SIMPIN" and "IN2T"
        h.Connect();
        QCOMPARE(h.form->model.Rule(TableId::kSimCard)
                     .GetValue("PIN k\xF3"
                               "d"),
                 std::string());
        QCOMPARE(h.form->Controls().StatusText(2),
                 QString("2 settings went unanswered and show empty"));
    }

    void ackMaskOfAnotherLengthBecomesZeros() {
        GsmHarness h;
        h.sim->SetParameter("GACK", "101");
        h.Connect();
        QCOMPARE(h.form->ackMask(), std::string("0000"));
        QCOMPARE(h.form->model.Grid(TableId::kPhoneNumbers).Cell(2, 1), std::string(""));
    }

    void writeBackSendsEverythingInItsOrderInBothModes() {
        for (int mode : {0, 1}) {
            GsmHarness h;
            h.Connect();
            QTest::mouseClick(ModeButton(*h.form, mode), Qt::LeftButton, {}, QPoint(7, 10));
            h.sim->ClearCommands();
            // Seen from inside the sequence: the window takes no input, the monitor is off.
            h.form->Timer1.start();
            int waits = 0;
            bool quietThroughout = true;
            h.form->connection->SetMessagePump([&] {
                ++waits;
                quietThroughout = quietThroughout && !h.form->isEnabled() &&
                                  !h.form->Timer1.isActive() && h.form->SaveToDevImage() == 2;
            });
            h.ClickWriteBack();
            h.form->connection->SetMessagePump(nullptr);
            QVERIFY(waits > 0);
            QVERIFY(quietThroughout);
            const auto texts = h.CommandTexts();
            // The writes, then the verify's reads in the initial read's order.
            QCOMPARE(std::vector<std::string>(texts.begin() + 16, texts.end()), ReadOrderIn(mode));
            QCOMPARE(texts[0], std::string("SIMPIN=1234"));
            QCOMPARE(texts[1], std::string("UPHN1=+36301234567"));
            QCOMPARE(texts[5], std::string("SFWN=+36301234567"));
            QCOMPARE(texts[6], std::string("IN1T=NO"));
            QCOMPARE(texts[10], std::string("MS1=+3612345678"));
            QCOMPARE(texts[13], std::string("ACCID=12AB"));
            QCOMPARE(texts[14], std::string("GACK=1000"));
            QCOMPARE(texts[15], std::string(mode == 0 ? "SMODE=Standalone" : "SMODE=Transparent"));
            const auto commands = h.sim->Commands();
            QCOMPARE(commands.size(),
                     16u + 2 + 256 + 1 + 128 + ReadOrderIn(mode).size() + 256 + 128);
            QCOMPARE(int(commands[16].code), 2);
            QCOMPARE(commands[16 + 2 + 256].address, 0x32000u);
            QCOMPARE(h.form->SaveToDevImage(), 2);
            QVERIFY(h.form->isEnabled());
            QVERIFY(h.form->Timer1.isActive());
            QCOMPARE(h.form->Controls().StatusText(2), QString("Written and verified"));
        }
    }

    void writeBackWithTheDeviceGoneReportsItAndKeepsThePendingMark() {
        GsmHarness h;
        h.Connect();
        h.form->model.Grid(quelvar::settings::TableId::kSimCard).SetCell(1, 0, "4321");
        h.sim->Unplug();
        QVERIFY(h.WaitAttached(false));
        h.sim->ClearCommands();
        h.ClickWriteBack();
        QCOMPARE(h.form->SaveToDevImage(), 4);
        QCOMPARE(h.form->Controls().StatusText(2), QString(quelvar::ui::kNotConnected));
        QVERIFY(h.form->isEnabled());
        QCOMPARE(h.sim->CommandCount(), std::size_t{0});
    }

    void passwordChange() {
        GsmHarness h;
        h.Connect();
        h.sim->ClearCommands();
        GsmHarness::OnModal([](QWidget* dialog) {
            QCOMPARE(dialog->windowTitle(), QString("New password"));
            QTest::keyClicks(dialog->findChild<QLineEdit*>(), "12");
            QTest::keyClick(dialog->findChild<QLineEdit*>(), Qt::Key_Return);  // cancels
        });
        QTest::mouseClick(ToolButton1(*h.form), Qt::LeftButton);
        QCOMPARE(h.sim->CommandCount(), 0u);
        QCOMPARE(h.form->Controls().StatusText(2), QString());

        // Entered twice: two entries that differ change nothing.
        const std::string before = h.sim->Parameter("PW");
        const auto enter = [&h](const char* first, const char* second, QStringList* prompts) {
            quelvar::test::ModalScript script([=](QWidget* dialog, int step) {
                auto* field = dialog->findChild<QLineEdit*>();
                QCOMPARE(field->text(), QString());
                *prompts << dialog->findChild<QLabel*>("lbx1")->text();
                QTest::keyClicks(field, step == 0 ? first : second);
                QTest::keyClick(field, Qt::Key_Return);
            });
            QTest::mouseClick(ToolButton1(*h.form), Qt::LeftButton);
        };
        QStringList prompts;
        enter("9999", "9998", &prompts);
        QCOMPARE(h.sim->Parameter("PW"), before);
        QCOMPARE(h.form->Controls().StatusText(2), QString(quelvar::ui::kPasswordsDiffer));
        QCOMPARE(prompts, QStringList({"Enter new password:", "Repeat new password:"}));
        enter("9999", "9999", &prompts);
        QCOMPARE(h.sim->Parameter("PW"), std::string("10017"));
        QCOMPARE(h.form->Controls().StatusText(2), QString("Password changed"));
        QCOMPARE(h.form->SaveToDevImage(), 2);
    }

    void wrongPasswordIsSaidWhenTheDialogAsksAgain() {
        GsmHarness h(false);
        h.sim->SetParameter("PW", "1252");  // 1234
        QStringList prompts;
        {
            quelvar::test::ModalScript script([&](QWidget* dialog, int step) {
                prompts << dialog->findChild<QLabel*>("lbx1")->text();
                auto* field = dialog->findChild<QLineEdit*>();
                QTest::keyClicks(field, step == 0 ? "1111" : "1234");
                QTest::keyClick(field, Qt::Key_Return);
            });
            h.Connect();
        }
        QCOMPARE(prompts, QStringList({"Enter password:", quelvar::ui::kWrongPassword}));
        QVERIFY(h.form->DeviceLoggedIn());
    }

    void clickDuringARunningSequenceStartsNothing() {
        GsmHarness h(false);
        int pressed = 0;
        h.form->connection->SetMessagePump([&] {
            QCoreApplication::processEvents();
            if (pressed++ == 3) {
                h.form->btnSaveToDevClick();
                h.form->ToolButton1Click();
                h.form->tbtnOpenClick();
            }
        });
        h.Connect();
        for (const std::string& text : h.CommandTexts()) {
            QVERIFY2(text.find('=') == std::string::npos, text.c_str());
        }
        QVERIFY(gbMset(*h.form)->isVisible());
    }

    void unplugDuringTheInitialReadShowsTheDisconnect() {
        GsmHarness h;
        h.sim->DisconnectAfter(100);
        h.Connect();
        QVERIFY(h.WaitAttached(false));
        h.Tick();
        QCOMPARE(h.form->Controls().StatusText(0), QString("USB: Disconnected"));
        QVERIFY(!gbMset(*h.form)->isVisible());
        h.Connect();
        QCOMPARE(h.form->model.AlarmGrid().Cell(1, 1), std::string("130"));
    }

    // A stop signal (Ctrl+C, a logout) quits the application while a password dialog is
    // open: the dialog's loop ends from outside. That is a cancel: the dialog is not asked
    // again in a loop that never returns, and no password reaches the device.
    void quittingWhileAPasswordIsAskedEndsTheSequenceAndSendsNothing_data() {
        QTest::addColumn<bool>("atLogIn");
        QTest::newRow("log-in") << true;
        QTest::newRow("new password") << false;
    }

    void quittingWhileAPasswordIsAskedEndsTheSequenceAndSendsNothing() {
        QFETCH(bool, atLogIn);
        GsmHarness h(false);
        if (atLogIn) {
            h.sim->SetParameter("PW", "1252");
        } else {
            h.Connect();
        }
        const std::string password = h.sim->Parameter("PW");
        h.sim->ClearCommands();
        // A log-in that asks on and on reads "PW" each time: the cable is pulled then, so that
        // the test fails rather than hangs.
        h.sim->DisconnectAfter(30);
        EventCounter shows(h.passwdFrm.get(), QEvent::Show, [](int count) {
            if (count == 1) {
                QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
            }
        });
        QTimer::singleShot(0, [&] {
            if (atLogIn) {
                h.Connect();
            } else {
                QTest::mouseClick(ToolButton1(*h.form), Qt::LeftButton);
            }
        });
        QCoreApplication::exec();
        QCOMPARE(h.sim->Parameter("PW"), password);
        QCOMPARE(h.CommandTexts(), atLogIn ? Expected({"PW"}) : Expected({}));
        if (atLogIn) {
            QCOMPARE(h.form->Controls().StatusText(2), QString(quelvar::ui::kLogInCancelled));
        }
    }
};

QTEST_MAIN(GsmLoginTest)
#include "GsmLoginTest.moc"

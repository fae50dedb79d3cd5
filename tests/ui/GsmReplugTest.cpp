// A device unplugged and plugged in again while a dialog of the window is open, and the tool
// buttons on a device that is not the one logged in: nothing reaches such a device, and the
// monitor follows it once the dialog closes.

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include "GsmHarness.h"

using quelvar::settings::TableId;
using quelvar::test::GsmHarness;
using namespace quelvar::test;  // the window's controls by name

namespace {

int Reads(GsmHarness& h, const std::string& key) {
    int count = 0;
    for (const std::string& text : h.CommandTexts()) {
        count += text == key ? 1 : 0;
    }
    return count;
}

// Anything that would change the device: a set-parameter text or a memory write or erase.
bool SentChanges(GsmHarness& h) {
    for (const auto& command : h.sim->Commands()) {
        if (command.text.find('=') != std::string::npos || command.code == 1 || command.code == 2) {
            return true;
        }
    }
    return false;
}

// Pulls the cable and plugs it in again, with a tick of the monitor after each: inside a
// dialog neither may run a transition.
void SwapDevice(GsmHarness& h) {
    const int logIns = Reads(h, "PW");
    h.sim->Unplug();
    QVERIFY(h.WaitAttached(false));
    h.Tick();
    QCOMPARE(h.form->Controls().StatusText(0), QString(quelvar::ui::kUsbConnected));
    h.sim->Plug();
    QVERIFY(h.WaitAttached());
    h.Tick();
    QCOMPARE(Reads(h, "PW"), logIns);
}

// Makes the file dialogs Qt's own while it lives: the one Windows shows has no Qt widgets to
// type into, and Qt's holds the window as modally.
class QtFileDialogs {
  public:
    QtFileDialogs() { QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs); }
    ~QtFileDialogs() { QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs, false); }
    QtFileDialogs(const QtFileDialogs&) = delete;
    QtFileDialogs& operator=(const QtFileDialogs&) = delete;
};

// Answers a file dialog (the real one) with a name and Enter.
void AnswerFileDialog(QWidget* dialog, const QString& name) {
    auto* field = dialog->findChild<QLineEdit*>("fileNameEdit");
    QVERIFY(field != nullptr);
    field->setText(name);
    QTest::keyClick(field, Qt::Key_Return);
}

// Counts and closes the modal dialogs that open while it lives.
class DialogCounter {
  public:
    DialogCounter() {
        poll_.setInterval(5);
        QObject::connect(&poll_, &QTimer::timeout, [this] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                ++opened;
                dialog->done(99);
            }
        });
        poll_.start();
    }
    int opened = 0;

  private:
    QTimer poll_;
};

// Answers "Discard" to the offer to save edits that a device took with it when it went away.
class DiscardSaveOffers {
  public:
    DiscardSaveOffers() {
        poll_.setInterval(5);
        QObject::connect(&poll_, &QTimer::timeout, [this] {
            for (auto* button :
                 QApplication::activeModalWidget()
                     ? QApplication::activeModalWidget()->findChildren<QAbstractButton*>()
                     : QList<QAbstractButton*>()) {
                if (button->text() == "Discard") {
                    ++offers;
                    QTest::mouseClick(button, Qt::LeftButton);
                    return;
                }
            }
        });
        poll_.start();
    }
    int offers = 0;

  private:
    QTimer poll_;
};

void Click(QWidget* button) {
    QTest::mouseClick(button, Qt::LeftButton);
}

}  // namespace

class GsmReplugTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        h = std::make_unique<GsmHarness>(false);
        h->form->SetFileNameAsk([this](bool) { return fileName; });
    }
    void cleanup() { h.reset(); }

    void valueEditorHoldsTheTransitionsUntilItCloses() {
        for (const bool replug : {true, false}) {
            init();
            DiscardSaveOffers discard;
            h->Connect();
            auto& sim = h->form->model.Grid(TableId::kSimCard);
            GsmHarness::OnModal([this, replug](QWidget* dialog) {
                replug ? SwapDevice(*h) : h->sim->Unplug();
                QVERIFY(h->WaitAttached(replug));
                h->Tick();
                QCOMPARE(h->form->Controls().StatusText(0), QString(quelvar::ui::kUsbConnected));
                auto* field = dialog->findChild<QLineEdit*>("edSetProp");
                QTest::keyClicks(field, "4321");
                QTest::keyClick(field, Qt::Key_Return);
            });
            QTest::mouseClick(sgGPRSConnection(*h->form)->viewport(), Qt::LeftButton, {},
                              sgGPRSConnection(*h->form)->CellRect(1, 0).center());
            if (replug) {
                // Read again from the device: the grid and the mark agree with it.
                QTRY_COMPARE(Reads(*h, "PW"), 2);
                QCOMPARE(sim.Cell(1, 0), std::string("1234"));
                QCOMPARE(h->form->SaveToDevImage(), quelvar::ui::kSavedImage);
                QVERIFY(gbMset(*h->form)->isVisible());
            } else {
                QTRY_COMPARE(h->form->Controls().StatusText(0),
                             QString(quelvar::ui::kUsbDisconnected));
                QCOMPARE(sim.Cell(1, 0), std::string("4321"));
                QCOMPARE(h->form->SaveToDevImage(), quelvar::ui::kPendingImage);
            }
            QVERIFY(!SentChanges(*h));
        }
    }

    void passwordAnsweredForAReplacedDeviceIsAskedAgain() {
        h->sim->SetParameter("PW", "1252");
        GsmHarness::OnModal([this](QWidget* dialog) {
            SwapDevice(*h);
            GsmHarness::AnswerPassword("1234");  // the second dialog, for the new attachment
            auto* field = dialog->findChild<QLineEdit*>();
            QTest::keyClicks(field, "1234");
            QTest::keyClick(field, Qt::Key_Return);
        });
        h->Connect();
        QTRY_VERIFY(gbMset(*h->form)->isVisible());
        QCOMPARE(Reads(*h, "PW"), 2);
        QCOMPARE(Reads(*h, "SIMPIN"), 1);
    }

    void newPasswordIsNotSentToAReplacedDevice() {
        h->sim->SetParameter("PW", "1252");
        GsmHarness::AnswerPassword("1234");
        h->Connect();
        QVERIFY(gbMset(*h->form)->isVisible());
        h->sim->ClearCommands();
        GsmHarness::OnModal([this](QWidget* dialog) {
            QCOMPARE(dialog->windowTitle(), QString("New password"));
            SwapDevice(*h);
            // The log-in that follows asks with its own caption and prompt again.
            GsmHarness::OnModal([](QWidget* login) {
                QCOMPARE(login->windowTitle(), QString("Password"));
                QCOMPARE(login->findChild<QLabel*>("lbx1")->text(), QString("Enter password:"));
                auto* field = login->findChild<QLineEdit*>();
                QTest::keyClicks(field, "1234");
                QTest::keyClick(field, Qt::Key_Return);
            });
            auto* field = dialog->findChild<QLineEdit*>();
            QTest::keyClicks(field, "9999");
            QTest::keyClick(field, Qt::Key_Return);
        });
        Click(ToolButton1(*h->form));
        QTRY_COMPARE(Reads(*h, "PW"), 1);
        QTRY_VERIFY(gbMset(*h->form)->isVisible());
        QCOMPARE(h->sim->Parameter("PW"), std::string("1252"));
        QVERIFY(!SentChanges(*h));
        // The log-in of the replaced device replaced the status the refusal left.
        QCOMPARE(h->form->Controls().StatusText(2), QString());
    }

    void fileDialogsAndMessagesHoldTheTransitions() {
        const QtFileDialogs qtDialogs;
        QTemporaryDir dir;
        const QString saved = dir.filePath("saved.am2");
        const QString folder = dir.filePath("folder.am2");
        QVERIFY(QDir(dir.path()).mkdir("folder.am2"));
        struct Case {
            const char* what;
            QToolButton* (*button)(const quelvar::ui::TFormMain&);
            QString answer;  // empty: a message box, answered with Enter
        };
        const Case cases[] = {
            {"save dialog", &quelvar::test::tbtnSave, saved},
            {"open dialog", &quelvar::test::tbtnOpen, saved},
            {"message box", &quelvar::test::tbtnSave, QString()},
        };
        for (const Case& c : cases) {
            init();
            h->Connect();
            h->sim->ClearCommands();
            if (c.answer.isEmpty()) {
                fileName = folder;  // cannot be written: a message box says so
            } else {
                h->form->SetFileNameAsk({});  // the real file dialog
            }
            GsmHarness::OnModal([this, &c](QWidget* dialog) {
                SwapDevice(*h);
                if (c.answer.isEmpty()) {
                    QTest::keyClick(dialog, Qt::Key_Return);
                } else {
                    AnswerFileDialog(dialog, c.answer);
                }
            });
            Click(c.button(*h->form));
            QTRY_VERIFY2(Reads(*h, "PW") == 1, c.what);
            QTRY_VERIFY2(gbMset(*h->form)->isVisible(), c.what);
            QVERIFY2(!SentChanges(*h), c.what);
        }
        QVERIFY(QFile::exists(saved));
    }

    void toolButtonsSendNothingToADeviceNotLoggedIn() {
        struct Case {
            const char* what;
            QToolButton* (*button)(const quelvar::ui::TFormMain&);
        };
        // (A file opened meanwhile is only shown: see the offline view's tests.)
        const Case cases[] = {{"save to device", &quelvar::test::btnSaveToDev},
                              {"password", &quelvar::test::ToolButton1}};
        QTemporaryDir dir;
        fileName = dir.filePath("any.am2");
        for (const bool swapped : {false, true}) {
            for (const Case& c : cases) {
                init();
                if (swapped) {
                    h->Connect();
                    h->sim->Unplug();  // and back, with no tick between
                    QVERIFY(h->WaitAttached(false));
                    h->sim->Plug();
                    QVERIFY(h->WaitAttached());
                } else {
                    h->sim->SetParameter("PW", "1252");
                    GsmHarness::OnModal([](QWidget* dialog) {
                        // Enter on an unfinished entry cancels.
                        QTest::keyClick(dialog->findChild<QLineEdit*>(), Qt::Key_Return);
                    });
                    h->Connect();
                    QVERIFY(ToolBar1(*h->form)->isVisible());
                }
                h->form->SetFileNameAsk([](bool) {
                    QTest::qFail("no file dialog expected", __FILE__, __LINE__);
                    return QString();
                });
                h->sim->ClearCommands();
                DialogCounter dialogs;
                Click(c.button(*h->form));
                QCOMPARE(h->form->Controls().StatusText(2),
                         QString(swapped ? quelvar::ui::kReplugged : quelvar::ui::kNotLoggedIn));
                QVERIFY2(dialogs.opened == 0, c.what);
                if (swapped) {
                    // Read again at once, without waiting for the next tick.
                    QTRY_VERIFY2(gbMset(*h->form)->isVisible() && Reads(*h, "PW") == 1, c.what);
                } else {
                    QCOMPARE(h->sim->CommandCount(), std::size_t{0});
                }
                QVERIFY2(!SentChanges(*h), c.what);
            }
        }
    }

    void devicePluggedInDuringAWriteBackGetsNothing() {
        DiscardSaveOffers discard;
        h->Connect();
        h->sim->ClearCommands();
        std::size_t sentBefore = 0;
        QMetaObject::Connection replug = ReplugOnceTheAlarmTableIsUnderWay(sentBefore);
        Click(btnSaveToDev(*h->form));
        QObject::disconnect(replug);
        QVERIFY(sentBefore > 0);
        QCOMPARE(h->sim->CommandCount(), sentBefore);
        QCOMPARE(h->form->SaveToDevImage(), quelvar::ui::kPendingImage);
        h->Tick();  // the monitor reads the new device
        QCOMPARE(Reads(*h, "PW"), 1);
        QVERIFY(gbMset(*h->form)->isVisible());
    }

    void devicePluggedInDuringASettingsFileLoadGetsNothing() {
        DiscardSaveOffers discard;
        h->Connect();
        QTemporaryDir dir;
        const QString file = dir.filePath("site.am2");
        h->form->model.Grid(quelvar::settings::TableId::kSimCard).SetCell(1, 0, "4321");
        QVERIFY(quelvar::settings::SaveSettingsFile(h->form->model, 0, file.toStdString()).ok);
        h->sim->ClearCommands();
        std::size_t sentBefore = 0;
        QMetaObject::Connection replug = ReplugOnceTheAlarmTableIsUnderWay(sentBefore);
        h->form->OpenSettingsFile(file);
        QObject::disconnect(replug);
        QVERIFY(sentBefore > 0);
        QCOMPARE(h->sim->CommandCount(), sentBefore);
        h->Tick();  // the monitor reads the new device
        QCOMPARE(Reads(*h, "PW"), 1);
        QVERIFY(gbMset(*h->form)->isVisible());
    }

  private:
    // Out and back in before the next block of the first memory transfer; `sentBefore` gets
    // the number of commands the device had then.
    QMetaObject::Connection ReplugOnceTheAlarmTableIsUnderWay(std::size_t& sentBefore) {
        return QObject::connect(pb1(*h->form), &QProgressBar::valueChanged, [&](int position) {
            if (position > 0 && sentBefore == 0) {
                h->sim->Unplug();
                QVERIFY(h->WaitAttached(false));
                h->sim->Plug();
                QVERIFY(h->WaitAttached());
                sentBefore = h->sim->CommandCount();
            }
        });
    }

    std::unique_ptr<GsmHarness> h;
    QString fileName;
};

QTEST_MAIN(GsmReplugTest)
#include "GsmReplugTest.moc"

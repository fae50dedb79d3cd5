// What the window says is true now: status texts after a cancelled log-in, a load and a
// write-back; no marks a file does not hold; no signal while detached; texts from files and
// devices shown as typed; the findings dialog's wording. Driven by real clicks and keys.

#include <QFile>
#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocumentFragment>

#include "GsmHarness.h"
#include "settings/SettingsFile.h"
#include "ui/DeviceLog.h"
#include "ui/DeviceLogWindow.h"

namespace settings = quelvar::settings;
namespace ui = quelvar::ui;
using quelvar::test::GsmHarness;
using namespace quelvar::test;  // the window's controls by name
using quelvar::test::ModalScript;
using settings::TableId;

namespace {

using quelvar::test::Click;

void WriteFile(const QString& name) {
    settings::SettingsModel model;
    QVERIFY(settings::SaveSettingsFile(model, 0, name.toStdString()).ok);
}

void OpenWithCtrlO(GsmHarness& h, const QString& name) {
    h.form->SetFileNameAsk([name](bool) { return name; });
    h.form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(h.form.get()));
    QTest::keyClick(h.form.get(), Qt::Key_O, Qt::ControlModifier);
}

// Windows file names cannot hold < or >: there no file name brings markup.
#ifdef _WIN32
constexpr bool kMarkupInFileNames = false;
#else
constexpr bool kMarkupInFileNames = true;
#endif

// Whether the label shows its text as typed: rich text would hide the tags.
bool ShownAsTyped(QLabel* label) {
    const int typed = QFontMetrics(label->font()).horizontalAdvance(label->text());
    return label->sizeHint().width() >= typed;
}

}  // namespace

class GsmStatusTruthTest : public QObject {
    Q_OBJECT

  private slots:
    // A cancelled password says what to do; a file opened then says the device is not logged
    // in; the next log-in leaves neither text behind.
    void cancelledLogInSaysWhatToDoAndTheNextLogInClearsIt() {
        GsmHarness h(false);
        h.sim->SetParameter("PW", "1252");  // 1234
        QTemporaryDir dir;
        const QString site = dir.filePath("site.am2");
        WriteFile(site);
        {
            ModalScript cancel([](QWidget* dialog, int) {
                QTest::keyClick(dialog->findChild<QLineEdit*>(), Qt::Key_Return);  // cancels
            });
            h.Connect();
        }
        using State = ui::ConnectionState::State;
        QCOMPARE(h.form->Controls().StatusText(2), QString(ui::kLogInCancelled));
        QCOMPARE(h.form->DeviceState(), State::kAttached);
        OpenWithCtrlO(h, site);
        QCOMPARE(h.form->Controls().StatusText(2), QString(ui::kShownNotLoggedIn));
        QCOMPARE(h.form->DeviceState(), State::kAttached);

        h.sim->Unplug();
        QVERIFY(h.WaitAttached(false));
        h.Tick();
        QCOMPARE(h.form->DeviceState(), State::kNoDevice);
        GsmHarness::AnswerPassword("1234");
        h.Connect();
        QVERIFY(h.form->DeviceLoggedIn());
        QCOMPARE(h.form->DeviceState(), State::kLoggedIn);
        QCOMPARE(h.form->Controls().StatusText(2), QString());
    }

    // While the write-back runs the status says so, not what the last one ended with.
    void writeBackSaysWritingWhileItRuns() {
        GsmHarness h;
        h.Connect();
        h.ClickWriteBack();
        QCOMPARE(h.form->Controls().StatusText(2), QString("Written and verified"));
        QStringList seen;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (h.form->SequenceRunning()) {
                seen << h.form->Controls().StatusText(2);
            }
        });
        watch.start(1);
        h.ClickWriteBack();
        watch.stop();
        QVERIFY(!seen.isEmpty());
        QVERIFY2(!seen.contains("Written and verified"), qPrintable(seen.join(" | ")));
        QVERIFY2(seen.contains(ui::kWriting), qPrintable(seen.join(" | ")));
        QCOMPARE(h.form->Controls().StatusText(2), QString("Written and verified"));
    }

    // Files hold no acknowledgement marks: the last device's are not shown with a file, and
    // a click there marks nothing.
    void offlineViewShowsNoAcknowledgementMarks() {
        GsmHarness h;
        h.sim->SetParameter("GACK", "1100");
        h.Connect();
        const auto& phones = h.form->model.Grid(TableId::kPhoneNumbers);
        QCOMPARE(phones.Cell(settings::kAckColumn, 1), std::string("X"));
        h.sim->Unplug();
        QVERIFY(h.WaitAttached(false));
        h.Tick();
        QTemporaryDir dir;
        WriteFile(dir.filePath("site.am2"));
        OpenWithCtrlO(h, dir.filePath("site.am2"));
        for (int row = 1; row <= 4; ++row) {
            QCOMPARE(phones.Cell(settings::kAckColumn, row), std::string());
        }
        Click(sgPhnrs(*h.form), settings::kAckColumn, 2);
        QCOMPARE(phones.Cell(settings::kAckColumn, 2), std::string());
    }

    // A detached device has no current signal, and the log knows it went away.
    void deviceLogShowsNoCurrentSignalWhileDetached() {
        GsmHarness h;
        h.Connect();
        h.sim->SendStatus(200, "23");
        QVERIFY(QTest::qWaitFor(
            [&] {
                h.Tick();
                return !h.form->Controls().deviceLog->SignalPoints().empty();
            },
            3000));
        GsmHarness::ChooseFromMenu(btnMore(*h.form), actDeviceLog(*h.form));
        QVERIFY(QTest::qWaitFor([&] { return OpenDeviceLogWindow(*h.form) != nullptr; }, 2000));
        QLabel* summary = OpenDeviceLogWindow(*h.form)->signalSummary;
        QVERIFY2(summary->text().startsWith("Signal now 23"), qPrintable(summary->text()));
        const auto before = std::chrono::system_clock::now();
        h.sim->Unplug();
        QVERIFY(h.WaitAttached(false));
        h.Tick();
        QVERIFY2(!summary->text().contains("now 23"), qPrintable(summary->text()));
        QVERIFY(summary->text().startsWith("Device detached"));
        h.sim->Plug();
        QVERIFY(h.WaitAttached());
        h.Tick();
        h.sim->SendStatus(200, "11");
        QVERIFY(QTest::qWaitFor(
            [&] {
                h.Tick();
                return h.form->Controls().deviceLog->SignalPoints().size() == 2;
            },
            3000));
        const auto& points = h.form->Controls().deviceLog->SignalPoints();
        QVERIFY(points.front().at < before);
        QVERIFY(h.form->Controls().deviceLog->GapBetween(points.front().at, points.back().at));
    }

    // Markup in a file name and in the device's status texts is shown as typed.
    void markupFromFilesAndDevicesIsShownAsTyped() {
        QTemporaryDir dir;
        GsmHarness h;
        h.Connect();
        h.sim->SendStatus(202, "<font color=red>ALARM</font>");
        QVERIFY(QTest::qWaitFor(
            [&] {
                h.Tick();
                return stINPUT1(*h.form)->text().contains("ALARM");
            },
            3000));
        QVERIFY(ShownAsTyped(stINPUT1(*h.form)));

        QFile junk(dir.filePath(kMarkupInFileNames ? "<h1>junk.am2" : "junk.am2"));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("not settings");
        junk.close();
        Qt::TextFormat format = Qt::RichText;
        {
            ModalScript script([&](QWidget* box, int) {
                format = box->findChild<QLabel*>("qt_msgbox_label")->textFormat();
            });
            OpenWithCtrlO(h, junk.fileName());
        }
        QCOMPARE(format, Qt::PlainText);

        if (!kMarkupInFileNames) {
            return;
        }
        const QString odd = dir.filePath("<s>site<b>.am2");
        WriteFile(odd);
        h.sim->Unplug();
        QVERIFY(h.WaitAttached(false));
        h.Tick();
        OpenWithCtrlO(h, odd);
        QCOMPARE(h.form->Controls().StatusText(1), QString("<s>site<b>.am2"));
        for (QLabel* panel : sb1(*h.form)->findChildren<QLabel*>()) {
            if (panel->text() == "<s>site<b>.am2") {
                QVERIFY(ShownAsTyped(panel));
            }
        }
    }

    // The count of missing settings in the right number, "clears" only with a device to clear
    // it on; a long value is cut so the dialog fits the screen and shown whole in the tool tip;
    // markup in a value is shown as typed.
    void findingsDialogCountsRightAndFitsTheScreen_data() {
        QTest::addColumn<bool>("withDevice");
        QTest::addColumn<QString>("missingKeys");
        QTest::addColumn<QString>("said");
        QTest::newRow("one, offline") << false << "SFWN"
                                      << "1 setting is missing from it.";
        QTest::newRow("two, offline") << false << "SFWN UPHN1"
                                      << "2 settings are missing from it.";
        QTest::newRow("one, device")
            << true << "SFWN"
            << "1 setting is missing from it; loading clears it on the device.";
        QTest::newRow("two, device") << true << "SFWN UPHN1"
                                     << "2 settings are missing from it; loading clears them on "
                                        "the device.";
    }
    void findingsDialogCountsRightAndFitsTheScreen() {
        QFETCH(bool, withDevice);
        QFETCH(QString, missingKeys);
        QFETCH(QString, said);
        QTemporaryDir dir;
        const QString name = dir.filePath("odd.am2");
        settings::SettingsModel model;
        QVERIFY(settings::SaveSettingsFile(model, 0, name.toStdString()).ok);
        QFile file(name);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QByteArray bytes = file.readAll();
        file.close();
        const QByteArray longText = "<h1>" + QByteArray(400, 'W');
        for (const QString& key : missingKeys.split(' ')) {
            QVERIFY(bytes.contains("\n" + key.toLatin1() + "="));
            bytes.replace("\n" + key.toLatin1() + "=", "\n" + key.toLatin1() + "X=");
        }
        const QByteArray smsKey("extev1SMS \xFCzenet=");  // Windows-1250
        QVERIFY(bytes.contains(smsKey));
        bytes.replace(smsKey, smsKey + longText);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();

        GsmHarness h(withDevice);
        if (withDevice) {
            h.Connect();
            QVERIFY(h.form->DeviceLoggedIn());
        }
        QString text;
        QString tip;
        Qt::TextFormat format = Qt::RichText;
        int width = 0;
        {
            ModalScript script([&](QWidget* box, int) {
                text = GsmHarness::MessageText(box);
                format = box->findChild<QLabel*>("qt_msgbox_label")->textFormat();
                tip = box->toolTip();
                width = box->frameGeometry().width();
                GsmHarness::ClickButton(box, "Cancel");
            });
            OpenWithCtrlO(h, name);
        }
        QVERIFY2(text.contains(said), qPrintable(text));
        QVERIFY(text.contains("<h1>WWW"));
        QCOMPARE(format, Qt::PlainText);
        QVERIFY(!text.contains(QString(longText)));
        // The tool tip as Qt shows it: rich text where it might be, so markup must come escaped.
        const QString tipShown =
            Qt::mightBeRichText(tip) ? QTextDocumentFragment::fromHtml(tip).toPlainText() : tip;
        QVERIFY(tipShown.contains(QString(longText)));
        QVERIFY(width <= h.form->screen()->availableGeometry().width());
    }
};

QTEST_MAIN(GsmStatusTruthTest)
#include "GsmStatusTruthTest.moc"

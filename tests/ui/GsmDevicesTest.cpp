// Several communicators attached to the main window, by real clicks against simulated ones: the
// window says which one it shows, More > Choose device... moves it to another with a log-in,
// and More > Provision devices... runs the line on all of them while the window's own device
// view is paused, refusing a bad values file before any device is touched.

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include "GsmHarness.h"
#include "settings/SettingsFile.h"
#include "sim/SimulatedBus.h"
#include "ui/ChooseDeviceDialog.h"
#include "ui/ProvisionDialog.h"

using quelvar::test::GsmHarness;
using namespace quelvar::test;  // the window's controls by name
namespace settings = quelvar::settings;
namespace sim = quelvar::sim;
namespace ui = quelvar::ui;

class GsmDevicesTest : public QObject {
    Q_OBJECT

    QString File(const char* name) const { return data->filePath(name); }

    // Runs ticks until the window shows a device logged in, and then the device count.
    bool LoggedIn() {
        const bool in = QTest::qWaitFor(
            [&] {
                Tick();
                return form->DeviceState() == ui::ConnectionState::State::kLoggedIn;
            },
            5000);
        for (int i = 0; i < 4; ++i) {
            Tick();
        }
        return in;
    }
    void Tick() {
        form->Timer1Timer();
        form->Timer1.stop();
    }
    // The template (what the devices hold: the window's settings) and the values file.
    bool WriteTemplateAndValues(const QByteArray& values) const {
        QFile file(File("values.csv"));
        return settings::SaveSettingsFile(form->model, form->Controls().OpModeIndex(),
                                          File("template.am2").toStdString())
                   .ok &&
               file.open(QIODevice::WriteOnly) && file.write(values) == values.size();
    }
    QString Devices() const {
        QLabel* label = form->Controls().sbDevices;
        return label->isVisible() ? label->text() : QString();
    }

  private slots:
    void init() {
        data = TempDataHome();
        bus = std::make_unique<sim::SimulatedBus>(2);
        form = std::make_unique<ui::TFormMain>(*bus);
        form->show();
        form->Timer1.stop();
        QVERIFY(LoggedIn());
    }
    void cleanup() {
        form.reset();
        bus.reset();
    }

    void theWindowSaysWhichItShowsAndMovesToTheOneChosen() {
        QCOMPARE(Devices(), QString("2 communicators attached; this one on port #1"));
        QCOMPARE(form->connection->Snapshot().devicePath, sim::SimulatedBus::PathOf(0));

        // Cancel changes nothing.
        GsmHarness::OnModal([](QWidget* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
        GsmHarness::ChooseFromMenu(btnMore(*form), form->Controls().actChooseDevice);
        QCOMPARE(form->ChosenDevice(), std::string());
        QCOMPARE(form->DeviceState(), ui::ConnectionState::State::kLoggedIn);

        GsmHarness::OnModal([](QWidget* dialog) {
            auto* list = dialog->findChild<QListWidget*>("lstDevices");
            QCOMPARE(list->count(), 3);
            QCOMPARE(list->currentItem()->text(), QString(ui::kFirstFound));
            QVERIFY(list->item(2)->text().startsWith("Port #2"));
            list->setCurrentRow(2);
            QTest::keyClick(list, Qt::Key_Return);
        });
        GsmHarness::ChooseFromMenu(btnMore(*form), form->Controls().actChooseDevice);
        QCOMPARE(form->ChosenDevice(), sim::SimulatedBus::PathOf(1));
        QVERIFY(LoggedIn());
        QCOMPARE(form->connection->Snapshot().devicePath, sim::SimulatedBus::PathOf(1));
        QCOMPARE(Devices(), QString("2 communicators attached; this one on port #2"));

        // The one chosen stays the window's: its cable pulled, the other is not taken instead.
        bus->Communicator(1).Unplug();
        QVERIFY(QTest::qWaitFor(
            [&] {
                Tick();
                return form->DeviceState() == ui::ConnectionState::State::kNoDevice;
            },
            5000));
        for (int i = 0; i < 4; ++i) {
            Tick();
        }
        QCOMPARE(form->DeviceState(), ui::ConnectionState::State::kNoDevice);
    }

    void theLineProvisionsEveryDeviceWhileTheWindowWaits() {
        // The template: what the devices hold; the values give each its account and another
        // second number.
        QVERIFY(
            WriteTemplateAndValues("ACCID,UPHN2\r\n1A01,+3622\r\n1A02,+3622\r\n1A03,+3622\r\n"));

        bool pausedWhileRunning = false;
        GsmHarness::OnModal([&](QWidget* widget) {
            auto* dialog = qobject_cast<ui::ProvisionDialog*>(widget);
            QVERIFY(dialog != nullptr);
            dialog->edTemplate->setText(File("template.am2"));
            dialog->edValues->setText(File("values.csv"));
            dialog->edRecord->setText(File("record.csv"));
            QSignalSpy ended(dialog, &ui::ProvisionDialog::lineEnded);
            QTest::mouseClick(dialog->btnStart, Qt::LeftButton);
            QVERIFY(!dialog->btnStart->isEnabled());
            // Both devices are done: the third row waits for a third device; Stop ends it.
            QVERIFY(QTest::qWaitFor([&] { return dialog->lbLine->text().contains("2 verified"); },
                                    20000));
            pausedWhileRunning = form->connection == nullptr;
            QTest::mouseClick(dialog->btnStop, Qt::LeftButton);
            QVERIFY(ended.wait(10000));
            QCOMPARE(dialog->lbLine->text(), QString("Stopped: 2 verified, 0 not"));
            QTableWidget* table = dialog->tblDevices;
            QCOMPARE(table->rowCount(), 2);
            QStringList accounts;
            for (int row = 0; row < 2; ++row) {
                QTableWidgetItem* outcome = table->item(row, ui::ProvisionDialog::kOutcome);
                QCOMPARE(outcome->text(), QString("written and verified: unplug it"));
                QCOMPARE(outcome->foreground().color(), QColor(0, 128, 0));
                accounts << table->item(row, ui::ProvisionDialog::kAccount)->text();
            }
            accounts.sort();
            QCOMPARE(accounts, QStringList({"1A01", "1A02"}));
            QTest::mouseClick(dialog->btnClose, Qt::LeftButton);
        });
        GsmHarness::ChooseFromMenu(btnMore(*form), form->Controls().actProvision);
        QVERIFY(pausedWhileRunning);
        for (std::size_t i = 0; i < 2; ++i) {
            QCOMPARE(bus->Communicator(i).Parameter("UPHN2"), std::string("+3622"));
        }
        QFile record(File("record.csv"));
        QVERIFY(record.open(QIODevice::ReadOnly));
        QCOMPARE(record.readAll().count("\r\n"), 3);
        // The window's view comes back, and logs in to the first device again.
        QVERIFY(form->connection != nullptr);
        QVERIFY(LoggedIn());
        QCOMPARE(form->Controls().StatusText(0), QString(ui::kUsbConnected));
    }

    void aBadValuesFileStartsNothing() {
        QVERIFY(WriteTemplateAndValues("ACCID\r\n1A0G\r\n"));
        QString warned;
        GsmHarness::OnModal([&](QWidget* widget) {
            auto* dialog = qobject_cast<ui::ProvisionDialog*>(widget);
            dialog->edTemplate->setText(File("template.am2"));
            dialog->edValues->setText(File("values.csv"));
            GsmHarness::OnModal([&](QWidget* box) {
                warned = box->findChild<QLabel*>("qt_msgbox_label")->text();
                QTest::keyClick(box, Qt::Key_Return);
            });
            QTest::mouseClick(dialog->btnStart, Qt::LeftButton);
            QVERIFY(!dialog->Running());
            QCOMPARE(dialog->tblDevices->rowCount(), 0);
            QVERIFY(dialog->btnStart->isEnabled());
            QTest::mouseClick(dialog->btnClose, Qt::LeftButton);
        });
        GsmHarness::ChooseFromMenu(btnMore(*form), form->Controls().actProvision);
        QVERIFY2(warned.contains("row 2, ACCID: \"1A0G\" holds characters other than hexadecimal"),
                 qPrintable(warned));
        QVERIFY(warned.endsWith("Nothing was started: correct " + File("values.csv")));
        for (std::size_t i = 0; i < 2; ++i) {
            QCOMPARE(bus->Communicator(i).Parameter("ACCID"), std::string("12AB"));
        }
    }

  private:
    std::unique_ptr<QTemporaryDir> data;
    std::unique_ptr<sim::SimulatedBus> bus;
    std::unique_ptr<ui::TFormMain> form;
};

QTEST_MAIN(GsmDevicesTest)
#include "GsmDevicesTest.moc"

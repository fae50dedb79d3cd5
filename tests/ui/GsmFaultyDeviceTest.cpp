// The window against a device that floods the link with status reports, loses answers or
// sends random bytes: the window keeps working, shows only what the device holds, writes only
// what it shows, and says when something went unanswered. Every fault is seeded.

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <map>
#include <mutex>
#include <random>
#include <set>

#include "GsmHarness.h"
#include "settings/AlarmTableImage.h"
#include "settings/InputTableImage.h"
#include "sim/SimDevice.h"
#include "support/Faults.h"
#include "ui/CompareDialog.h"

using quelvar::settings::TableId;
using quelvar::test::GsmHarness;
using namespace quelvar::test;  // the window's controls by name
namespace settings = quelvar::settings;
namespace sim = quelvar::sim;

namespace {

std::vector<std::string> DataCells(const settings::StringGrid& grid) {
    std::vector<std::string> cells;
    for (int row = grid.FixedRows(); row < grid.RowCount(); ++row) {
        for (int col = 1; col < grid.ColCount(); ++col) {
            cells.push_back(grid.Cell(col, row));
        }
    }
    return cells;
}

// The event grids as a clean read of the device's images fills fresh ones.
std::vector<std::string> AlarmCellsOf(const sim::SimulatedCommunicator& device) {
    const auto grid = settings::MakeAlarmGrid();
    settings::FillAlarmGrid(
        *grid, device.ReadMemory(settings::kAlarmTableAddress, settings::kAlarmTableLength));
    return DataCells(*grid);
}

std::vector<std::string> InputCellsOf(const sim::SimulatedCommunicator& device) {
    const auto grid = settings::MakeInputGrid();
    settings::FillInputGrid(
        *grid, device.ReadMemory(settings::kInputTableAddress, settings::kInputTableLength));
    return DataCells(*grid);
}

// Every value cell shows the device's value; those whose read went unanswered are empty.
void ExpectParametersShown(settings::SettingsModel& model, const sim::SimulatedCommunicator& device,
                           const std::set<std::string>& unanswered = {}) {
    for (const settings::CatalogueTable& table : settings::AllTables()) {
        settings::TTableRule& rule = model.Rule(table.id);
        rule.ForEachRow([&](const std::string& caption, const std::string& key) {
            const std::string shown = rule.GetValue(caption);
            const std::string expected = unanswered.count(key) ? "" : device.Parameter(key);
            QVERIFY2(shown == expected, qPrintable(QString::fromStdString(key) + " shows " +
                                                   QString::fromLatin1(shown.c_str())));
        });
    }
}

// The harness's window rebuilt on the simulator seen through StrayReports.
class StrayHarness : public GsmHarness {
  public:
    StrayHarness() : GsmHarness(false), stray(*sim) {
        form = std::make_unique<quelvar::ui::TFormMain>(stray);
        form->SetDialogs(setFrm.get(), passwdFrm.get());
        form->show();
        form->Timer1.stop();
        form->connection->SetAckTimeout(std::chrono::milliseconds(100));
    }
    ~StrayHarness() { form.reset(); }

    quelvar::test::StrayReports stray;
};

void Edit(settings::SettingsModel& model) {
    model.Grid(TableId::kSimCard).SetCell(1, 0, "4321");
    model.Grid(TableId::kPhoneNumbers).SetCell(1, 3, "+36701112233");
    model.AlarmGrid().SetCell(1, 1, "602");
    model.AlarmGrid().SetCell(9, 1, "Teszt");
    model.AlarmGrid().SetCell(8, 32, "X");
    model.InputGrid().SetCell(5, 2, "Z1 rendben");
}

}  // namespace

class GsmFaultyDeviceTest : public QObject {
    Q_OBJECT

  private slots:
    void floodDuringTheInitialReadKeepsTheWindowResponsive() {
        StrayHarness h;
        // 10,000 status reports, half of them event lines, arrive ahead of the answer to a
        // read of the alarm table.
        h.stray.before = [](std::size_t number, const quelvar::link::Report&) {
            std::vector<quelvar::link::Report> flood;
            if (number == 100) {
                for (int i = 0; i < 10000; ++i) {
                    flood.push_back(i % 2 == 0 ? sim::TextReport(206, "E130 " + std::to_string(i))
                                               : sim::TextReport(200, std::to_string(i % 32)));
                }
            }
            return flood;
        };
        // A timer of the window's thread keeps firing while the read waits for the device.
        QTimer probe;
        probe.setInterval(5);
        QElapsedTimer sinceLast;
        qint64 longestGap = 0;
        int fired = 0;
        connect(&probe, &QTimer::timeout, [&] {
            longestGap = std::max(longestGap, fired++ == 0 ? 0 : sinceLast.elapsed());
            sinceLast.restart();
        });
        probe.start();
        h.Connect();
        probe.stop();
        QCOMPARE(h.sim->Commands().at(99).code, quelvar::link::kReadBlock);
        QVERIFY2(fired > 10 && longestGap < 300,
                 qPrintable(QString("%1 firings, gap %2 ms").arg(fired).arg(longestGap)));
        ExpectParametersShown(h.form->model, *h.sim);
        QVERIFY(DataCells(h.form->model.AlarmGrid()) == AlarmCellsOf(*h.sim));
        QVERIFY(DataCells(h.form->model.InputGrid()) == InputCellsOf(*h.sim));
        QCOMPARE(h.form->Controls().StatusText(1), QString("Firmware version 2.14"));
        {
            const quelvar::link::ConnHIDCOM::LockGuard lock(*h.form->connection);
            const int waiting = static_cast<int>(h.form->connection->EventsWaiting());
            QCOMPARE(waiting, 255);
        }

        // The monitor shows the last signal and moves one line per tick, oldest first.
        for (int tick = 0; tick < 4; ++tick) {
            h.Tick();
        }
        QCOMPARE(stGSM(*h.form)->text(), QString::number(9999 % 32));
        QCOMPARE(lbEvents(*h.form)->count(), 1);
        QCOMPARE(lbEvents(*h.form)->item(0)->text(), QString("E130 %1").arg(9998 - 2 * 254));
        h.Tick();
        QCOMPARE(lbEvents(*h.form)->count(), 2);

        // With its timer running, the monitor keeps ticking through a flood as well.
        QSignalSpy ticks(h.form.get(), &quelvar::ui::TFormMain::ticked);
        h.form->Timer1.start(100);
        h.sim->Flood(10000, 200, "7");
        QVERIFY(QTest::qWaitFor([&] { return ticks.count() >= 3; }, 5000));
        h.form->Timer1.stop();
        QCOMPARE(stGSM(*h.form)->text(), QString("7"));
    }

    void lostAnswersShowNothingWrongAndTheWriteBackSaysWhatWentUnanswered() {
        GsmHarness h(false);
        // The password is read first; had its answer been lost, the log-in would ask for one.
        std::set<std::size_t> lostReads = quelvar::test::Chosen(7, 2, 402);
        lostReads.erase(1);
        h.sim->DropAnswersTo(lostReads);
        h.Connect();
        h.sim->DropAnswersTo({});
        std::set<std::string> unanswered;
        const auto asked = h.sim->Commands();
        for (std::size_t n : lostReads) {
            if (n <= asked.size() && asked[n - 1].code == quelvar::link::kGetParameter) {
                unanswered.insert(asked[n - 1].text);
            }
        }
        QVERIFY(!lostReads.empty());
        ExpectParametersShown(h.form->model, *h.sim, unanswered);
        const bool tablesRead = h.form->Controls().StatusText(2).isEmpty();
        QVERIFY(tablesRead ||
                h.form->Controls().StatusText(2) == "The event tables could not be read");
        if (tablesRead) {
            QVERIFY(DataCells(h.form->model.AlarmGrid()) == AlarmCellsOf(*h.sim));
        }

        // Lost acknowledgements: the device holds what it acknowledged, the window counts
        // what it did not, and the edits stay marked as waiting to be written.
        Edit(h.form->model);
        const std::set<std::size_t> lost = quelvar::test::Chosen(11, 5, 403);
        h.sim->ClearCommands();
        h.sim->DropAnswersTo(lost);
        h.form->btnSaveToDevClick();
        h.form->Timer1.stop();
        h.sim->DropAnswersTo({});
        auto sent = h.sim->Commands();
        // The writes, then the verify's reads, which change nothing.
        QCOMPARE(sent.size(), std::size_t{403 + 401});
        sent.resize(403);
        sim::SimDevice expected;
        for (std::size_t n = 1; n <= sent.size(); ++n) {
            if (lost.count(n) == 0) {
                expected.Answer(sent[n - 1].report);
            }
        }
        QVERIFY(h.sim->Parameters() == expected.Parameters());
        QVERIFY(h.sim->ReadMemory(sim::kMemoryBase, sim::kMemorySize) ==
                expected.ReadMemory(sim::kMemoryBase, sim::kMemorySize));
        // What went unanswered was not kept either, and the read-back finds it.
        QVERIFY2(h.form->Controls().StatusText(2).startsWith(
                     QString("Write-back incomplete: %1 commands unanswered; verify failed: ")
                         .arg(lost.size())),
                 qPrintable(h.form->Controls().StatusText(2)));
        QCOMPARE(h.form->SaveToDevImage(), quelvar::ui::kPendingImage);
    }

    void blockAcknowledgedButNotKeptFailsTheVerify() {
        GsmHarness h;
        h.Connect();
        Edit(h.form->model);
        // The first block of the alarm table, which holds the edited row 1, is acknowledged
        // and forgotten: every answer came, so only the read-back can tell.
        h.sim->ForgetNextBlockWrites(1);
        h.ClickWriteBack();
        h.form->Timer1.stop();
        QCOMPARE(h.form->Controls().StatusText(2), QString("Verify failed: 5 settings differ"));
        QCOMPARE(h.form->SaveToDevImage(), quelvar::ui::kPendingImage);

        QStringList rows;
        QString summary;
        GsmHarness::OnModal([&rows, &summary](QWidget* modal) {
            auto* dialog = qobject_cast<quelvar::ui::CompareDialog*>(modal);
            QVERIFY(dialog != nullptr);
            summary = dialog->summary->text();
            for (int r = 0; r < dialog->table->rowCount(); ++r) {
                QStringList cells;
                for (int c = 1; c < 5; ++c) {
                    cells << dialog->table->item(r, c)->text();
                }
                rows << cells.join("|");
            }
            QTest::mouseClick(dialog->closeButton, Qt::LeftButton);
        });
        GsmHarness::ChooseFromMenu(btnMore(*h.form), actShowDifferences(*h.form));
        // Row 1 of the alarm grid as the window shows it, against the erased block, which is
        // said as such rather than as the code page's row of dots.
        const QStringList expected = {"1|Code|602 (Periodic test report)|", "1|E/R|E|",
                                      "1|Part|01|", "1|Zone/User|001|",
                                      QString::fromUtf8("1|SMS üzenet|Teszt|")};
        QCOMPARE(rows.size(), expected.size());
        for (int r = 0; r < rows.size(); ++r) {
            QCOMPARE(rows[r], expected[r] + "(erased memory)");
        }
        QCOMPARE(summary, QString("5 of 467 settings differ"));  // counted as everywhere
    }

    void unansweredReadBackIsNoVerify() {
        GsmHarness h;
        h.Connect();
        Edit(h.form->model);
        // Every write is answered and kept; no parameter can be read back, so the read-back
        // shows them all empty and proves nothing.
        h.sim->IgnoreCommand(quelvar::link::kGetParameter);
        h.ClickWriteBack();
        h.form->Timer1.stop();
        QCOMPARE(h.form->Controls().StatusText(2),
                 QString("Written, but not verified: the device did not answer every read"));
        QCOMPARE(h.form->SaveToDevImage(), quelvar::ui::kPendingImage);
    }

    void randomReportsDuringLogInAndWriteBackChangeNothingButWhatIsSent() {
        StrayHarness h;
        // Reports of random bytes ahead of about one command in four.
        std::mt19937 random(2024);
        int injected = 0;
        h.stray.before = [&](std::size_t, const quelvar::link::Report&) {
            std::vector<quelvar::link::Report> strays;
            if (random() % 4 == 0) {
                for (std::uint32_t n = 1 + random() % 3; n > 0; --n) {
                    strays.push_back(quelvar::test::RandomReport(random));
                }
            }
            injected += static_cast<int>(strays.size());
            return strays;
        };
        h.Connect();
        ExpectParametersShown(h.form->model, *h.sim);
        QVERIFY(DataCells(h.form->model.AlarmGrid()) == AlarmCellsOf(*h.sim));
        QVERIFY(DataCells(h.form->model.InputGrid()) == InputCellsOf(*h.sim));

        Edit(h.form->model);
        h.form->btnSaveToDevClick();
        h.form->Timer1.stop();
        QCOMPARE(h.form->SaveToDevImage(), quelvar::ui::kSavedImage);
        ExpectParametersShown(h.form->model, *h.sim);
        QCOMPARE(h.sim->Parameter("GACK"), h.form->ackMask());
        QCOMPARE(h.sim->Parameter("SMODE"), std::string("Standalone"));
        QCOMPARE(h.sim->Parameter("PW"), std::string(sim::kDefaultPassword));
        QVERIFY(h.sim->ReadMemory(settings::kAlarmTableAddress, settings::kAlarmTableLength) ==
                settings::BuildAlarmTableImage(h.form->model.AlarmGrid()));
        QVERIFY(h.sim->ReadMemory(settings::kInputTableAddress, settings::kInputTableLength) ==
                settings::BuildInputTableImage(h.form->model.InputGrid()));
        QVERIFY2(injected > 300, qPrintable(QString::number(injected)));
    }
};

QTEST_MAIN(GsmFaultyDeviceTest)
#include "GsmFaultyDeviceTest.moc"

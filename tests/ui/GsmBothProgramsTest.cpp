// The window's write-back and the command line's write, each against its own simulated
// communicator meeting the same fault at the same stage, end in the same sentence: the window in
// its status bar, the command line on standard error with its advice and exit code.

#include <QTemporaryDir>
#include <QTest>
#include <sstream>

#include "GsmHarness.h"
#include "cli/BackupStep.h"
#include "cli/ExitCodes.h"
#include "cli/ProgressBar.h"
#include "cli/WriteCommand.h"
#include "settings/SettingsFile.h"
#include "support/Faults.h"

using quelvar::test::GsmHarness;

namespace {

using namespace std::chrono_literals;
namespace cli = quelvar::cli;
namespace sim = quelvar::sim;

// What happens to the device once the first erase of the alarm table comes.
using Fault = std::function<void(sim::SimulatedCommunicator&)>;

// A bus that brings the fault on at the first erase, before the device sees it.
std::unique_ptr<quelvar::test::StrayReports> FaultAtFirstErase(sim::SimulatedCommunicator& sim,
                                                               Fault fault) {
    auto bus = std::make_unique<quelvar::test::StrayReports>(sim);
    auto done = std::make_shared<bool>(false);
    bus->before = [&sim, fault, done](std::size_t, const quelvar::link::Report& command) {
        if (fault && !*done && command[1] == quelvar::link::kEraseSector) {
            *done = true;
            fault(sim);
        }
        return std::vector<quelvar::link::Report>{};
    };
    return bus;
}

struct CliResult {
    int code = -1;
    std::string out;
    std::string err;
};

// The command line's write --all of the file, as its program runs it, to a device of its own.
CliResult RunCliWrite(const std::string& file, const std::string& backups, const Fault& atStart,
                      const Fault& atErase) {
    sim::SimulatedCommunicator sim;
    if (atStart) {
        atStart(sim);
    }
    const auto bus = FaultAtFirstErase(sim, atErase);
    std::ostringstream out;
    std::ostringstream err;
    cli::ProgressBar progress(err, cli::ProgressBar::Style::kNone);
    const cli::CommandContext context{*bus, 5s, std::nullopt, progress, out, err};
    const quelvar::settings::SettingsReadResult read = quelvar::settings::ReadSettingsFile(file);
    CliResult result;
    if (read.content) {
        cli::BackupOptions backup;
        backup.folder = backups;
        // Everything, as the window's write-back writes, so both meet the fault at one place.
        result.code = cli::RunWrite(context, file, *read.content, false, backup,
                                    quelvar::sites::RevisionKind::kCommandWrite, true);
    }
    result.out = out.str();
    result.err = err.str();
    return result;
}

}  // namespace

class GsmBothProgramsTest : public QObject {
    Q_OBJECT

  private slots:
    void sameOutcomeSameSentence_data() {
        QTest::addColumn<Fault>("atStart");
        QTest::addColumn<Fault>("atErase");
        QTest::addColumn<QString>("sentence");
        QTest::addColumn<QString>("cliAdds");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("verified") << Fault() << Fault() << "Written and verified"
                                  << ": wrote " << cli::kExitOk;
        // A device that keeps UPHN1 to itself: only the verify finds it.
        QTest::newRow("verify failed")
            << Fault([](sim::SimulatedCommunicator& device) { device.ForgetSetsOf({"UPHN1"}); })
            << Fault() << "Verify failed: 1 setting differs"
            << "" << cli::kExitMismatch;
        QTest::newRow("cut") << Fault()
                             << Fault([](sim::SimulatedCommunicator& device) { device.Unplug(); })
                             << "The device went away while writing the alarm table: it holds a "
                                "partial configuration"
                             << "; run write again" << cli::kExitNoDevice;
        QTest::newRow("silent")
            << Fault() << Fault([](sim::SimulatedCommunicator& device) { device.StopAnswering(0); })
            << "The device stopped answering while writing the alarm table (nothing for 3 s): it "
               "holds a partial configuration"
            << "; run write again" << cli::kExitNoDevice;
    }

    void sameOutcomeSameSentence() {
        QFETCH(Fault, atStart);
        QFETCH(Fault, atErase);
        QFETCH(QString, sentence);
        QFETCH(QString, cliAdds);
        QFETCH(int, exitCode);

        GsmHarness h(true, [&](sim::SimulatedCommunicator& device) {
            if (atStart) {
                atStart(device);
            }
            return FaultAtFirstErase(device, atErase);
        });
        h.Connect();
        QVERIFY(h.form->DeviceLoggedIn());
        // One edit, so that a device keeping UPHN1 differs from what was written.
        h.form->model.Grid(quelvar::settings::TableId::kPhoneNumbers).SetCell(1, 1, "+36709999999");
        QTemporaryDir dir;
        const std::string file = (dir.path() + "/same.am2").toStdString();
        QVERIFY(quelvar::settings::SaveSettingsFile(h.form->model, h.form->Controls().OpModeIndex(),
                                                    file)
                    .ok);
        h.ClickWriteBack();
        h.form->Timer1.stop();
        QCOMPARE(h.form->Controls().StatusText(2), sentence);

        const CliResult cliRun =
            RunCliWrite(file, (dir.path() + "/backups").toStdString(), atStart, atErase);
        QCOMPARE(cliRun.code, exitCode);
        const std::string said = (sentence + cliAdds).toStdString();
        const std::string& stream = exitCode == cli::kExitOk ? cliRun.out : cliRun.err;
        QVERIFY2(
            stream.rfind(said, 0) == 0 || stream.find("\n" + said) != std::string::npos,
            qPrintable(QString::fromStdString("wanted a line \"" + said + "\" in:\n" + stream)));
    }
};

QTEST_MAIN(GsmBothProgramsTest)
#include "GsmBothProgramsTest.moc"

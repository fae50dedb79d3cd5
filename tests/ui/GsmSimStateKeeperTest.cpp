// The window program's simulated state file: saved after each device sequence and monitor tick
// that finds a change, and a state that cannot be saved said in the window.

#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>

#include "GsmHarness.h"
#include "sim/SimState.h"
#include "sim/SimStateFile.h"
#include "ui/GsmSimStateKeeper.h"

using quelvar::test::GsmHarness;
namespace sim = quelvar::sim;

namespace {

std::string SavedParameter(const std::string& path, const std::string& key) {
    const sim::SimStateFileRead read = sim::ReadSimStateFile(path);
    return read.state ? read.state->parameters.at(key) : std::string("(no state)");
}

QMessageBox* ShownProblem(QWidget* form) {
    auto* box = form->findChild<QMessageBox*>("simStateProblem");
    return box != nullptr && box->isVisible() ? box : nullptr;
}

}  // namespace

class GsmSimStateKeeperTest : public QObject {
    Q_OBJECT

  private slots:
    void savesWhatTheDeviceAcknowledgedWithoutWaitingForTheEnd() {
        QTemporaryDir dir;
        const std::string path = dir.filePath("device.state").toStdString();
        GsmHarness h;
        sim::SimStateFile file(path, *h.sim);
        bool inUse = false;
        QCOMPARE(file.Load(std::chrono::milliseconds(0), inUse), std::string());
        new quelvar::ui::SimStateKeeper(*h.form, file);
        h.Connect();  // the log-in is a sequence; its end saves the state (a new file)
        QCOMPARE(SavedParameter(path, "UPHN3"), std::string());

        // A device sequence changes the device: an edit sent from the window.
        QVERIFY(h.form->exchange->SetParameter("UPHN3", "+36703333333") ==
                quelvar::exchange::SetOutcome::kAcknowledged);
        h.Tick();
        QCOMPARE(SavedParameter(path, "UPHN3"), std::string("+36703333333"));
        QVERIFY(ShownProblem(h.form.get()) == nullptr);

        // The file cannot be replaced any more: the window says so, once.
        std::filesystem::remove(path);
        std::filesystem::create_directories(path + "/taken");
        h.sim->SetParameter("UPHN4", "+36204444444");
        h.Tick();
        QMessageBox* box = ShownProblem(h.form.get());
        QVERIFY(box != nullptr);
        QVERIFY(box->text().contains("cannot be saved"));
        QVERIFY(box->text().contains("could not be replaced"));
        box->close();
        h.Tick();
        QVERIFY(ShownProblem(h.form.get()) == nullptr);

        // Writable again: the next tick keeps everything, the later change too.
        std::filesystem::remove_all(path);
        h.Tick();
        QCOMPARE(SavedParameter(path, "UPHN4"), std::string("+36204444444"));
    }
};

QTEST_MAIN(GsmSimStateKeeperTest)
#include "GsmSimStateKeeperTest.moc"

// quelvar-bench: how close the device sequences come to the USB bus limit, what the program
// costs while idle, how responsive the window stays, and how fast it starts.

#include <QApplication>
#include <QTemporaryDir>
#include <QWindow>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "CliWrite.h"
#include "CraftedSave.h"
#include "IdleCost.h"
#include "Measures.h"
#include "Provisioning.h"
#include "RegisterScale.h"
#include "TwoDevices.h"
#include "sim/SimulatedCommunicator.h"
#include "ui/Gsm.h"

namespace {

using namespace quelvar::bench;
using namespace std::chrono_literals;

struct Summary {
    std::string name;
    double value;
    std::string unit;
    std::string target;
};

void PrintRun(const char* name, const Run& run) {
    std::printf(
        "%-22s %8.1f ms  %4zu exchanges  bound %7.1f ms  ratio %.3f  longest loop gap %.1f ms\n",
        name, run.ms, run.exchanges, run.Bound(), run.Ratio(), run.longestLoopGapMs);
}

double StartUpMs() {
    quelvar::sim::SimulatedCommunicator sim;
    quelvar::ui::TFormMain form(sim);
    form.show();
    while (!form.isVisible() || !form.windowHandle() || !form.windowHandle()->isExposed()) {
        QCoreApplication::processEvents();
    }
    QCoreApplication::processEvents();  // the first paint
    return MsSinceProcessStart().value_or(-1);
}

}  // namespace

int main(int argc, char** argv) {
#ifndef _WIN32
    // Off screen unless told otherwise; the Windows build has only the windows platform.
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
#endif
    QApplication app(argc, argv);
    const double startUp = StartUpMs();
    QTemporaryDir folder;
    // The write-backs' backups go to the temporary folder, not the user's.
    qputenv("XDG_DATA_HOME", folder.path().toLocal8Bit());
    qputenv("LOCALAPPDATA", folder.path().toLocal8Bit());

    std::printf(
        "USB model: answer %lld us after its command, on %lld us frames; round trip %.1f ms\n\n",
        static_cast<long long>(kLatency.count()), static_cast<long long>(kFrame.count()),
        kRoundTripMs);
    const SequenceRuns ours = MeasureSequences(folder.path());
    PrintRun("log-in and read", ours.logInRead);
    PrintRun("verified write-back", ours.writeBack);
    PrintRun("settings-file load", ours.settingsLoad);
    std::printf("%-22s %8.1f ms\n", "settings-file save", ours.settingsSave.ms);
    const double craftedSave = CraftedSaveMs(folder.path());
    std::printf("%-22s %8.1f ms  (into a 1 MiB file of unknown keys)\n", "crafted-file save",
                craftedSave);

    const CliWriteRuns cli = MeasureCliWrite(folder.path());
    const Run& cliWrite = cli.everything;
    PrintRun("cli write --all", cliWrite);
    PrintRun("cli write, 1 differs", cli.oneChange);

    // Each device against its own bus: one connection's waits must not slow the other's.
    const TwoDeviceRuns two = MeasureTwoDevices();
    for (const auto& [name, run] : {std::pair{"two devices, first", two.first},
                                    std::pair{"two devices, second", two.second}}) {
        std::printf("%-22s %8.1f ms  %4zu exchanges  bound %7.1f ms  ratio %.3f\n", name, run.ms,
                    run.exchanges, run.Bound(), run.Ratio());
    }

    // Each device of the line waits for its own answers: N at once should take about as long
    // as one (ratio: devices per second against one device's, over N).
    const std::vector<LineRun> line = MeasureProvisioning(folder.path());
    for (const LineRun& run : line) {
        std::printf("provisioning %d at once  %6.2f s  throughput %.2f x %d\n", run.devices,
                    run.seconds, run.throughputRatio * run.devices, run.devices);
    }

    const RegisterFigures reg = MeasureRegister(folder.path());
    std::printf(
        "site register: %d sites, %d revisions: record %.1f ms, list sites %.1f ms, "
        "one history %.1f ms, %.0f bytes per revision\n",
        reg.sites, reg.revisions, reg.recordMs, reg.listSitesMs, reg.historyMs,
        reg.bytesPerRevision);

    const Run polling1 = MeasureLogInRead(1000us);
    const Run polling15 = MeasureLogInRead(15600us);
    PrintRun("read, 1 ms polling", polling1);
    PrintRun("read, 15.6 ms polling", polling15);

    const auto idleDetached = IdleCpuPercent({}, 2s, 10s);
    const auto idleAttached = IdleCpuPercent({"--simulate"}, 3s, 10s);

    const std::vector<Summary> summary = {
        {"login-read", ours.logInRead.Ratio(), "x bound", "1.05"},
        {"verified-write-back", ours.writeBack.Ratio(), "x bound", "1.05"},
        {"settings-load", ours.settingsLoad.Ratio(), "x bound", "-"},
        {"cli-write-with-backup", cliWrite.Ratio(), "x bound", "1.05"},
        {"cli-write-one-change", cli.oneChange.Ratio(), "x bound", "1.05"},
        {"cli-write-one-change-exchanges", static_cast<double>(cli.oneChange.exchanges),
         "exchanges", "about 403"},
        {"two-devices-first", two.first.Ratio(), "x bound", "1.05"},
        {"two-devices-second", two.second.Ratio(), "x bound", "1.05"},
        {"settings-save", ours.settingsSave.ms, "ms", "-"},
        {"settings-save-1MiB", craftedSave, "ms", "< 1000"},
        {"vs-polling-1ms", polling1.ms / ours.logInRead.ms, "x faster", "-"},
        {"vs-polling-15.6ms", polling15.ms / ours.logInRead.ms, "x faster", ">= 5"},
        {"idle-detached", idleDetached.value_or(-1), "% of a core", "< 1"},
        {"idle-attached", idleAttached.value_or(-1), "% of a core", "< 0.2"},
        {"loop-gap-read", ours.logInRead.longestLoopGapMs, "ms", "< 20"},
        {"loop-gap-write-back", ours.writeBack.longestLoopGapMs, "ms", "< 20"},
        {"startup", startUp, "ms", "< 300"},
        {"provisioning-8-throughput", line.back().throughputRatio, "x N", ">= 0.9"},
        {"register-record", reg.recordMs, "ms", "< 20"},
        {"register-list-sites", reg.listSitesMs, "ms", "< 100"},
        {"register-history", reg.historyMs, "ms", "< 100"},
        {"register-growth", reg.bytesPerRevision, "bytes per revision", "-"},
    };
    std::printf("\n");
    for (const Summary& s : summary) {
        std::printf("%s: %.3g %s (target: %s)\n", s.name.c_str(), s.value, s.unit.c_str(),
                    s.target.c_str());
    }
    return 0;
}

#include "CliWrite.h"

#include <sstream>

#include "cli/WriteCommand.h"
#include "settings/SettingsFile.h"
#include "sim/SimulatedCommunicator.h"

namespace quelvar::bench {

namespace {

// One write of the file through the command line's own code; its run from the first command.
Run TimedWrite(sim::SimulatedCommunicator& sim, const std::string& file, const QString& folder,
               bool all) {
    const settings::SettingsReadResult read = settings::ReadSettingsFile(file);
    std::ostringstream out;
    std::ostringstream err;
    cli::ProgressBar progress(err, cli::ProgressBar::Style::kNone);
    const cli::CommandContext context{sim, std::chrono::seconds(10), std::nullopt, progress, out,
                                      err};
    const cli::BackupOptions backup{false, (folder + "/backups").toStdString()};
    sim.ClearCommands();
    const int code = cli::RunWrite(context, file, *read.content, false, backup,
                                   sites::RevisionKind::kCommandWrite, all);
    const auto end = std::chrono::steady_clock::now();
    const auto commands = sim.Commands();
    if (code != 0 || commands.empty()) {
        return {};
    }
    Run run;
    run.ms = std::chrono::duration<double, std::milli>(end - commands.front().at).count();
    run.exchanges = commands.size();
    return run;
}

}  // namespace

CliWriteRuns MeasureCliWrite(const QString& folder) {
    const std::string file = (folder + "/cli-write.am2").toStdString();
    settings::SettingsModel model;
    model.Rule(settings::TableId::kPhoneNumbers).SetValue("T1", "+36301234567");
    model.AlarmGrid().SetCell(1, 1, "130");
    model.AlarmGrid().SetCell(9, 1, "Riaszt\xE1s");
    if (!settings::SaveSettingsFile(model, 0, file).ok) {
        return {};
    }
    sim::SimulatedCommunicator sim;
    sim.SetTiming({kLatency, kFrame});
    CliWriteRuns runs;
    runs.everything = TimedWrite(sim, file, folder, true);
    // The same file but for one setting: the backup's read, one set and its read-back.
    model.Rule(settings::TableId::kPhoneNumbers).SetValue("T2", "+36209876543");
    if (settings::SaveSettingsFile(model, 0, file).ok) {
        runs.oneChange = TimedWrite(sim, file, folder, false);
    }
    return runs;
}

}  // namespace quelvar::bench

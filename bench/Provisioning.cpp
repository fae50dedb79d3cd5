#include "Provisioning.h"

#include <chrono>
#include <sstream>

#include "Measures.h"
#include "cli/ProvisionCommand.h"
#include "settings/SettingsFile.h"
#include "sim/SimulatedBus.h"

namespace quelvar::bench {

namespace {

double ProvisionSeconds(int count, const QString& folder) {
    sim::SimulatedBus bus(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < bus.Count(); ++i) {
        bus.Communicator(i).SetTiming({kLatency, kFrame});
    }
    settings::SettingsModel model;
    model.Rule(settings::TableId::kPhoneNumbers).SetValue("T2", "+36209876543");
    const std::string file = (folder + "/line-template.am2").toStdString();
    if (!settings::SaveSettingsFile(model, 0, file).ok) {
        return -1;
    }
    const settings::SettingsReadResult read = settings::ReadSettingsFile(file);
    cli::ProvisionOptions options;
    options.templatePath = file;
    options.count = static_cast<std::size_t>(count);
    options.backup = {false, (folder + "/line-backups").toStdString()};
    std::ostringstream out;
    std::ostringstream err;
    const auto start = std::chrono::steady_clock::now();
    if (cli::RunProvision(bus, *read.content, options, out, err) != 0) {
        return -1;
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

std::vector<LineRun> MeasureProvisioning(const QString& folder) {
    std::vector<LineRun> runs;
    double one = 0;
    for (const int count : {1, 2, 4, 8}) {
        LineRun run;
        run.devices = count;
        run.seconds = ProvisionSeconds(count, folder);
        one = count == 1 ? run.seconds : one;
        run.throughputRatio = run.seconds > 0 ? one / run.seconds : 0;
        runs.push_back(run);
    }
    return runs;
}

}  // namespace quelvar::bench

// quelvar-gsm-cli: the communicator's settings from the command line.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "cli/Arguments.h"
#include "cli/BackupsCommand.h"
#include "cli/CommandDevice.h"
#include "cli/DiffCommand.h"
#include "cli/ExitCodes.h"
#include "cli/Interrupt.h"
#include "cli/OutputCheck.h"
#include "cli/PasswdCommand.h"
#include "cli/PasswordSource.h"
#include "cli/ProgressBar.h"
#include "cli/ReadCommand.h"
#include "cli/ReportCommand.h"
#include "cli/StatusCommand.h"
#include "cli/WatchCommand.h"
#include "cli/WriteCommand.h"
#include "link/SystemHidPlatform.h"
#include "settings/BackupStore.h"
#include "settings/SettingsFile.h"
#include "sim/SimStateFile.h"
#include "sim/SimulatedCommunicator.h"

namespace {

using namespace quelvar;
using namespace quelvar::cli;

BackupOptions BackupOptionsOf(const Arguments& arguments) {
    return {arguments.noBackup, settings::DefaultBackupFolder(std::getenv)};
}

int Run(const Arguments& arguments, link::HidPlatform& platform,
        const std::optional<settings::SettingsFileContent>& content,
        std::function<std::string()> keepState) {
    const auto wait = std::chrono::milliseconds(std::llround(arguments.waitSeconds * 1000));
    ProgressBar progress(std::cerr, ProgressBar::StyleFor(arguments.quiet));
    const CommandContext context{
        platform,  wait,      arguments.password,        progress,
        std::cout, std::cerr, TerminalPrompt(std::cerr), std::move(keepState)};
    switch (arguments.command) {
        case Command::kStatus:
            if (arguments.watch) {
                const WatchOptions options{wait, arguments.logPath, StandardOutputIsTerminal()};
                return RunWatch(platform, options, std::cout, std::cerr);
            }
            return RunStatus(platform, wait, std::cout, std::cerr);
        case Command::kRead:
            return RunRead(context, arguments.file);
        case Command::kWrite:
            return RunWrite(context, arguments.file, *content, arguments.force,
                            BackupOptionsOf(arguments));
        case Command::kRestore:
            return RunRestore(context, arguments.file, content, arguments.force,
                              BackupOptionsOf(arguments));
        case Command::kPasswd:
            return RunPasswd(context, arguments.newPassword.value_or(""));
        case Command::kDiff:
            return RunDiffWithDevice(context, arguments.file, *content);
        case Command::kReport:
        case Command::kBackups:
            break;  // need no device; run before any is looked for
    }
    return kExitUsage;
}

// An answer delay for the simulated communicator, so that a slow link (and stopping a command
// half-way) can be tried without a device.

sim::TimingModel SimulatedTiming() {
    sim::TimingModel timing;
    if (const char* text = std::getenv("QUELVAR_SIM_LATENCY_MS")) {
        timing.latency = std::chrono::milliseconds(std::clamp(std::atoi(text), 0, 1000));
    }
    return timing;
}

// QUELVAR_SIM_UNPLUG_MS: the simulated cable is pulled that long after the start, to see what a
// command does when the device goes away.
std::jthread UnplugLater(sim::SimulatedCommunicator& simulator) {
    const char* text = std::getenv("QUELVAR_SIM_UNPLUG_MS");
    if (text == nullptr) {
        return {};
    }
    const auto delay = std::chrono::milliseconds(std::clamp(std::atoi(text), 0, 3600000));
    return std::jthread([&simulator, delay](std::stop_token stop) {
        std::mutex mutex;
        std::condition_variable_any wake;
        std::unique_lock lock(mutex);
        wake.wait_for(lock, stop, delay, [] { return false; });
        if (!stop.stop_requested()) {
            simulator.Unplug();
        }
    });
}

int RunProgram(int argc, char** argv) {
    ParsedArguments parsed = ParseArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (parsed.help) {
        PrintHelp(std::cout);
        return kExitOk;
    }
    if (parsed.version) {
        std::cout << "quelvar-gsm-cli " << QUELVAR_VERSION << "\n";
        return kExitOk;
    }
    if (!parsed.arguments) {
        std::cerr << parsed.error << "\n";
        return kExitUsage;
    }
    Arguments& arguments = *parsed.arguments;
    if (const std::string problem = SameFileProblem(arguments); !problem.empty()) {
        std::cerr << problem << "\n";
        return kExitUsage;
    }
    bool badPasswordFile = false;
    if (const std::string error =
            ResolvePasswords(arguments, std::getenv, std::cerr, badPasswordFile);
        !error.empty()) {
        std::cerr << error << "\n";
        return badPasswordFile ? kExitBadFile : kExitUsage;
    }

    // A file that is no settings file is refused before any device is touched.
    std::optional<settings::SettingsFileContent> content;
    std::optional<settings::SettingsFileContent> secondContent;
    const bool secondIsSettings = arguments.command == Command::kDiff;
    for (const std::string& file :
         {arguments.file, secondIsSettings ? arguments.secondFile : std::string()}) {
        if (file.empty() || arguments.command == Command::kRead) {
            continue;
        }
        settings::SettingsReadResult read = settings::ReadSettingsFile(file);
        if (!read.content) {
            std::cerr << read.error << "\n";
            return kExitBadFile;
        }
        (content ? secondContent : content) = std::move(read.content);
    }
    // A report, the backups and a comparison of two files need no device at all.
    if (arguments.command == Command::kBackups) {
        return RunBackups(std::cout, std::cerr, BackupOptionsOf(arguments), arguments.account);
    }
    if (arguments.command == Command::kReport) {
        return RunReport(arguments.file, *content, arguments.secondFile, arguments.withPin,
                         std::cout, std::cerr);
    }
    if (secondContent) {
        return RunDiffOfFiles(std::cout, std::cerr, arguments.file, *content, arguments.secondFile,
                              *secondContent);
    }
    // From here on a signal stops the command between two exchanges, so that it can say what
    // the device holds and leave no temporary file.
    if (arguments.command != Command::kStatus || arguments.watch) {
        CatchInterrupts();
    }

    std::unique_ptr<link::HidPlatform> platform;
    std::optional<sim::SimStateFile> simState;
    std::jthread unplugger;  // goes before the simulator it unplugs
    if (arguments.simulate) {
        sim::SimulatedCommunicator::Options options;
        // QUELVAR_SIM_STATUS_MS: status rounds at another pace, to watch many of them quickly.
        const char* period = std::getenv("QUELVAR_SIM_STATUS_MS");
        options.statusPeriod =
            std::chrono::milliseconds(period ? std::clamp(std::atoi(period), 10, 60000) : 500);
        auto simulator = std::make_unique<sim::SimulatedCommunicator>(options);
        simulator->SetTiming(SimulatedTiming());
        simulator->ApplyEnvironment();
        unplugger = UnplugLater(*simulator);
        if (arguments.simState) {
            simState.emplace(*arguments.simState, *simulator);
            const auto wait = std::chrono::milliseconds(std::llround(arguments.waitSeconds * 1000));
            bool inUse = false;
            if (const std::string error =
                    simState->Load(wait, inUse, [] { return InterruptSignal() != 0; });
                !error.empty()) {
                if (InterruptSignal() != 0) {
                    std::cerr << "Interrupted while waiting for the simulated communicator: "
                                 "nothing was sent\n";
                    return InterruptExitCode();
                }
                std::cerr << error << "\n";
                return inUse ? kExitNoDevice : kExitBadFile;
            }
        }
        platform = std::move(simulator);
    } else {
        platform = link::MakeSystemHidPlatform();
    }

    // A state that the command already tried to keep, and could not, is not reported twice.
    bool keepFailed = false;
    std::function<std::string()> keepState;
    if (simState) {
        keepState = [&] {
            std::string error = simState->Save();
            keepFailed = !error.empty();
            return error;
        };
    }
    int code = Run(arguments, *platform, content, keepState);
    if (simState && !keepFailed) {
        if (const std::string error = simState->Save(); !error.empty()) {
            std::cerr << error << "\n";
            if (code == kExitOk) {
                code = kExitBadFile;
            }
        }
    }
    return code;
}

}  // namespace

int main(int argc, char** argv) {
    TakeStandardOutput();
    return CheckStandardOutput(RunProgram(argc, argv));
}

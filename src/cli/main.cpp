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
#include <tuple>
#include <vector>

#include "cli/Arguments.h"
#include "cli/CommandDevice.h"
#include "cli/CommandTable.h"
#include "cli/DeviceList.h"
#include "cli/ExitCodes.h"
#include "cli/Interrupt.h"
#include "cli/OutputCheck.h"
#include "cli/PasswordSource.h"
#include "cli/ProgressBar.h"
#include "link/SystemHidPlatform.h"
#include "settings/SettingsFile.h"
#include "sim/SimStateFile.h"
#include "sim/SimulatedBus.h"
#include "sim/SimulatedCommunicator.h"

namespace {

using namespace quelvar;
using namespace quelvar::cli;

int Run(const Arguments& arguments, link::HidPlatform& platform,
        std::function<std::string()> keepState, const DeviceBody& body) {
    const auto wait = std::chrono::milliseconds(std::llround(arguments.waitSeconds * 1000));
    // `list` and `provision` take them all; every other command one, chosen or the only one.
    DeviceChoice choice;
    if (!arguments.command->everyDevice) {
        choice = ChooseDevice(platform, arguments.device, std::cerr);
        if (choice.exitCode != kExitOk) {
            return choice.exitCode;
        }
    }
    ProgressBar progress(std::cerr, ProgressBar::StyleFor(arguments.quiet));
    const CommandContext context{
        platform,   wait,      arguments.password,        progress,
        std::cout,  std::cerr, TerminalPrompt(std::cerr), std::move(keepState),
        choice.path};
    return body(context);
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

// Finds the communicator for a command that needs one, runs the command and keeps the simulated
// communicator's state.
int RunOnDevice(const Arguments& arguments, const DeviceBody& body, bool catchInterrupts) {
    // From here on a signal stops the command between two exchanges, so that it can say what
    // the device holds and leave no temporary file.
    if (catchInterrupts) {
        CatchInterrupts();
    }

    std::unique_ptr<link::HidPlatform> platform;
    std::optional<sim::SimStateFile> simState;
    std::jthread unplugger;  // goes before the simulator it unplugs
    if (arguments.simulate && arguments.simulateCount > 1) {
        auto bus = std::make_unique<sim::SimulatedBus>(arguments.simulateCount);
        for (std::size_t i = 0; i < bus->Count(); ++i) {
            bus->Communicator(i).SetTiming(SimulatedTiming());
            bus->Communicator(i).ApplyEnvironment();
        }
        platform = std::move(bus);
    } else if (arguments.simulate) {
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
    int code = Run(arguments, *platform, keepState, body);
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
    const std::vector<FileRole>& roles = arguments.command->files;
    for (const auto& [index, file, into] :
         {std::tuple{0u, &arguments.file, &content},
          std::tuple{1u, &arguments.secondFile, &secondContent}}) {
        if (file->empty() || index >= roles.size() || roles[index] != FileRole::kSettings) {
            continue;
        }
        settings::SettingsReadResult read = settings::ReadSettingsFile(*file);
        if (!read.content) {
            std::cerr << read.error << "\n";
            return kExitBadFile;
        }
        *into = std::move(read.content);
    }
    // A report, the backups and a comparison of two files need no device at all: their handlers
    // do not ask for one.
    const CommandRun run{arguments,
                         content,
                         secondContent,
                         std::cout,
                         std::cerr,
                         [&](const DeviceBody& body, bool catchInterrupts) {
                             return RunOnDevice(arguments, body, catchInterrupts);
                         }};
    return arguments.command->handler(run);
}

}  // namespace

int main(int argc, char** argv) {
    TakeStandardOutput();
    return CheckStandardOutput(RunProgram(argc, argv));
}

// quelvar-gsm-cli: the communicator's settings from the command line.

#include <chrono>
#include <cmath>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/Arguments.h"
#include "cli/CommandDevice.h"
#include "cli/ExitCodes.h"
#include "cli/PasswdCommand.h"
#include "cli/ProgressBar.h"
#include "cli/ReadCommand.h"
#include "cli/SimStateFile.h"
#include "cli/StatusCommand.h"
#include "cli/WriteCommand.h"
#include "link/SystemHidPlatform.h"
#include "settings/SettingsFile.h"
#include "sim/SimulatedCommunicator.h"

namespace {

using namespace quelvar;
using namespace quelvar::cli;

int Run(const Arguments& arguments, link::HidPlatform& platform,
        const std::optional<settings::SettingsFileContent>& content) {
    const auto wait = std::chrono::milliseconds(std::llround(arguments.waitSeconds * 1000));
    ProgressBar progress(std::cerr, ProgressBar::StyleFor(arguments.quiet));
    const CommandContext context{platform, wait,      arguments.password,
                                 progress, std::cout, std::cerr};
    switch (arguments.command) {
        case Command::kStatus:
            return RunStatus(platform, wait, std::cout, std::cerr);
        case Command::kRead:
            return RunRead(context, arguments.file);
        case Command::kWrite:
            return RunWrite(context, arguments.file, *content);
        case Command::kPasswd:
            return RunPasswd(context, arguments.newPassword.value_or(""));
    }
    return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    const ParsedArguments parsed = ParseArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (parsed.help) {
        PrintHelp(std::cout);
        return kExitOk;
    }
    if (!parsed.arguments) {
        std::cerr << parsed.error << "\n";
        return kExitUsage;
    }
    const Arguments& arguments = *parsed.arguments;

    // A file that is no settings file is refused before any device is touched.
    std::optional<settings::SettingsFileContent> content;
    if (arguments.command == Command::kWrite) {
        settings::SettingsReadResult read = settings::ReadSettingsFile(arguments.file);
        if (!read.content) {
            std::cerr << read.error << "\n";
            return kExitBadFile;
        }
        content = std::move(read.content);
    }

    std::unique_ptr<link::HidPlatform> platform;
    std::optional<SimStateFile> simState;
    if (arguments.simulate) {
        sim::SimulatedCommunicator::Options options;
        options.statusPeriod = std::chrono::milliseconds(500);
        auto simulator = std::make_unique<sim::SimulatedCommunicator>(options);
        if (arguments.simState) {
            simState.emplace(*arguments.simState, *simulator);
            if (const std::string error = simState->Load(); !error.empty()) {
                std::cerr << error << "\n";
                return kExitBadFile;
            }
        }
        platform = std::move(simulator);
    } else {
        platform = link::MakeSystemHidPlatform();
    }

    int code = Run(arguments, *platform, content);
    if (simState) {
        if (const std::string error = simState->Save(); !error.empty()) {
            std::cerr << error << "\n";
            if (code == kExitOk) {
                code = kExitBadFile;
            }
        }
    }
    return code;
}

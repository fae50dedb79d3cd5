// quelvar-gsm-cli: the communicator's settings from the command line.

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/StatusCommand.h"
#include "link/HidapiPlatform.h"
#include "sim/SimulatedCommunicator.h"

namespace {

constexpr int kExitUsage = 64;

void PrintHelp(std::ostream& out) {
    out << "Usage: quelvar-gsm-cli COMMAND [OPTIONS]\n"
           "\n"
           "Commands:\n"
           "  status            wait for the communicator and print its live status\n"
           "\n"
           "Options:\n"
           "  --wait SECONDS    how long to wait for the device (default 10)\n"
           "  --simulate        talk to the built-in simulated communicator instead of USB\n"
           "  --help            show this text\n";
}

}  // namespace

int main(int argc, char** argv) {
    using namespace quelvar;
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string command;
    bool simulate = false;
    double waitSeconds = 10;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            PrintHelp(std::cout);
            return 0;
        } else if (arg == "--simulate") {
            simulate = true;
        } else if (arg == "--wait" && i + 1 < args.size()) {
            char* end = nullptr;
            waitSeconds = std::strtod(args[++i].c_str(), &end);
            if (end == nullptr || *end != '\0' || waitSeconds < 0) {
                std::cerr << "--wait takes a number of seconds, not \"" << args[i] << "\"\n";
                return kExitUsage;
            }
        } else if (command.empty() && arg.rfind("--", 0) != 0) {
            command = arg;
        } else {
            std::cerr << "Unknown argument \"" << arg << "\"; see --help\n";
            return kExitUsage;
        }
    }
    if (command != "status") {
        std::cerr << (command.empty() ? "No command given" : "Unknown command \"" + command + "\"")
                  << "; see --help\n";
        return kExitUsage;
    }

    std::unique_ptr<link::HidPlatform> platform;
    if (simulate) {
        sim::SimulatedCommunicator::Options options;
        options.statusPeriod = std::chrono::milliseconds(500);
        platform = std::make_unique<sim::SimulatedCommunicator>(options);
    } else {
        platform = std::make_unique<link::HidapiPlatform>();
    }
    const auto wait = std::chrono::milliseconds(static_cast<long long>(waitSeconds * 1000));
    return cli::RunStatus(*platform, wait, std::cout, std::cerr);
}

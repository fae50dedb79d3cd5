#pragma once
// Every command and option of quelvar-gsm-cli in one row each: the parser finds them here and
// --help is made from the same rows, so that none can be left out of the help. A new command is
// its handler and a row of Commands().

#include <cstddef>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/Arguments.h"
#include "cli/CommandDevice.h"
#include "settings/SettingsFile.h"

namespace quelvar::cli {

// A command's work on the communicator, once that is found and set up.
using DeviceBody = std::function<int(const CommandContext& context)>;

// What a command's handler is given.
struct CommandRun {
    const Arguments& arguments;
    // Its files of role kSettings, read before any device is looked for; empty when not given.
    const std::optional<settings::SettingsFileContent>& content;        // arguments.file
    const std::optional<settings::SettingsFileContent>& secondContent;  // arguments.secondFile
    std::ostream& out;
    std::ostream& err;
    // Sets up the communicator (USB, or the simulated one with --simulate), runs `body` with it
    // and keeps the simulated communicator's state (--sim-state): body's exit code, or the
    // set-up's. A command that needs no device does not call it, so none is looked for. With
    // `catchInterrupts` a signal stops the command between two exchanges (see Interrupt.h)
    // rather than at once.
    std::function<int(const DeviceBody& body, bool catchInterrupts)> withDevice;
};

enum class FileRole {
    kSettings,  // a settings file it reads: one that is not is refused before the device is
    kWritten,   // a file it writes
    kWord,      // no file: an account ID, a text to look for, an action
};

// One entry of the command in --help.
struct CommandUsage {
    std::string_view arguments;  // after the command's name: "FILE.am2", "--watch", or empty
    std::string_view help;       // its lines, separated by "\n"
};

struct CommandRow {
    std::string_view name{};
    std::vector<CommandUsage> usages{};
    std::vector<FileRole> files{};   // the files it may be given, in this order
    std::size_t requiredFiles = 0;   // how many of them must be given
    std::string_view filesNeeded{};  // those, as the error says they are missing
    int (*handler)(const CommandRun& run) = nullptr;
    // Talks to every communicator attached (list, provision): none is chosen for it.
    bool everyDevice = false;
};

struct OptionRow {
    std::string_view name{};       // "--wait"
    std::string_view shortName{};  // "-q", or empty
    std::string_view valueName{};  // "SECONDS"; empty for an option without a value
    std::string_view help{};       // its lines in --help, separated by "\n"
    // The only commands it goes with (another one is refused); empty for every command.
    std::vector<std::string_view> commands{};
    // Exactly one of these three.
    bool Arguments::*flag = nullptr;  // set by an option without a value
    // Stores the value; the error line, or empty.
    std::string (*take)(const std::string& name, const std::string& value,
                        Arguments& arguments) = nullptr;
    bool ParsedArguments::*answer = nullptr;  // --help, --version: shown instead of any command
};

// In the order of --help.
const std::vector<CommandRow>& Commands();
const std::vector<OptionRow>& Options();

const CommandRow* FindCommand(std::string_view name);
// By its name or its short name.
const OptionRow* FindOption(std::string_view name);
// True when the option goes with the command (see OptionRow::commands).
bool GoesWith(const OptionRow& option, const CommandRow& command);

// Made from Commands() and Options(), then the exit codes.
void PrintHelp(std::ostream& out);

}  // namespace quelvar::cli

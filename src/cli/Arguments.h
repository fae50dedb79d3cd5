#pragma once
// The command line: one command, its file, and the options.

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace quelvar::cli {

enum class Command { kStatus, kRead, kWrite, kPasswd };

struct Arguments {
    Command command = Command::kStatus;
    std::string file;  // read and write
    std::optional<std::string> password;
    std::optional<std::string> newPassword;  // passwd
    bool simulate = false;                   // also set by --sim-state
    std::optional<std::string> simState;
    double waitSeconds = 10;
    bool quiet = false;
};

struct ParsedArguments {
    std::optional<Arguments> arguments;
    bool help = false;  // --help was given: show the help and do nothing else
    std::string error;  // one line, when there are neither arguments nor help
};

// Options may come before or after the command, as "--wait 5" or "--wait=5"; after "--" every
// word is a command or a file name.
ParsedArguments ParseArguments(const std::vector<std::string>& words);

void PrintHelp(std::ostream& out);

}  // namespace quelvar::cli

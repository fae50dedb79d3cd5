// --help against the parser: each command and option it lists is one the parser takes, with the
// arguments it shows, and each one the parser takes is listed.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/CliRun.h"
#include "cli/ExitCodes.h"

namespace quelvar::test {
namespace {

// Two options that the parser refuses together whatever the command: a command line that ends in
// them runs nothing, and gets this answer only when everything before them was taken.
const char* const kProbe = " --password 1234 --password-file pw";
const char* const kProbeAnswer = "Give the password once: --password or --password-file\n";

std::string Help() {
    TempDir dir;
    const CliRun help = RunCli(dir, "--help");
    EXPECT_EQ(help.code, 0);
    return help.out;
}

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string word; in >> word;) {
        words.push_back(word);
    }
    return words;
}

// What the lines of a section of the help name, before their help: "diff A.am2 B.am2",
// "--quiet, -q". The help starts in column 22; a longer name has its help on the next line.
std::vector<std::string> Entries(const std::string& help, const std::string& title) {
    std::vector<std::string> entries;
    const std::vector<std::string> lines = Lines(help);
    auto line = std::find(lines.begin(), lines.end(), title);
    EXPECT_NE(line, lines.end()) << title;
    for (++line; line < lines.end() && !line->empty(); ++line) {
        if (line->rfind("  ", 0) != 0 || (*line)[2] == ' ') {
            continue;  // the help's next line
        }
        const bool helpFollows = line->size() > 22 && line->substr(20, 2) == "  ";
        std::string entry = line->substr(2, helpFollows ? 19 : std::string::npos);
        entry.erase(entry.find_last_not_of(' ') + 1);
        entries.push_back(entry);
    }
    return entries;
}

// An option's names and its value, as a command line gives them: "--wait" "1".
struct ListedOption {
    std::vector<std::string> names;
    std::string value;
};

std::vector<ListedOption> ListedOptions(const std::string& help) {
    std::vector<ListedOption> options;
    for (const std::string& entry : Entries(help, "Options:")) {
        ListedOption option;
        for (std::string word : Words(entry)) {
            if (word[0] == '-') {
                word.erase(word.find_last_not_of(',') + 1);
                option.names.push_back(word);
            } else {
                option.value = word == "NNNN"                       ? "1234"
                               : (word == "SECONDS" || word == "N") ? "1"
                                                                    : "x";
            }
        }
        options.push_back(option);
    }
    return options;
}

// "diff A.am2 B.am2", "restore FILE.am2": each way the help shows a command, as a command line.
std::vector<std::string> CommandLines(const std::string& help) {
    std::vector<std::string> lines;
    for (std::string entry : Entries(help, "Commands:")) {
        entry.erase(
            std::remove_if(entry.begin(), entry.end(), [](char c) { return c == '[' || c == ']'; }),
            entry.end());
        lines.push_back(entry);
    }
    return lines;
}

std::set<std::string> CommandNames(const std::string& help) {
    std::set<std::string> names;
    for (const std::string& line : CommandLines(help)) {
        names.insert(Words(line).front());
    }
    return names;
}

TEST(CliHelp, EveryWayOfCallingACommandItShowsIsTaken) {
    TempDir dir;
    const std::string help = Help();
    const std::vector<std::string> commandLines = CommandLines(help);
    ASSERT_GE(commandLines.size(), 8u) << help;
    for (const std::string& line : commandLines) {
        const CliRun run = RunCli(dir, line + kProbe);
        EXPECT_EQ(run.code, 64) << line;
        EXPECT_EQ(run.err, kProbeAnswer) << line;
    }
    // The probe is answered so only once the command is known.
    EXPECT_EQ(RunCli(dir, std::string("frobnicate") + kProbe).err,
              "Unknown command \"frobnicate\"; see --help\n");
}

TEST(CliHelp, EveryOptionItListsGoesWithACommandItShows) {
    TempDir dir;
    const std::string help = Help();
    const std::set<std::string> commands = CommandNames(help);
    const std::vector<std::string> commandLines = CommandLines(help);
    for (const ListedOption& option : ListedOptions(help)) {
        for (const std::string& name : option.names) {
            const CliRun alone = RunCli(dir, name);
            if (alone.code == 0) {  // --help, --version
                EXPECT_NE(alone.out, "") << name;
                continue;
            }
            int takenBy = 0;
            for (const std::string& line : commandLines) {
                const std::string arguments = line + " " + name + " " + option.value + kProbe;
                const CliRun run = RunCli(dir, arguments);
                EXPECT_EQ(run.code, 64) << arguments;
                EXPECT_EQ(run.err.find("Unknown option"), std::string::npos) << arguments;
                takenBy += run.err == kProbeAnswer;
                // "--force belongs to the write and restore commands": commands of the help, and
                // not this one.
                const std::string belongs = name + " belongs to the ";
                if (run.err.rfind(belongs, 0) != 0) {
                    continue;
                }
                std::vector<std::string> named = Words(run.err.substr(belongs.size()));
                named.pop_back();  // "command" or "commands"
                for (std::string command : named) {
                    command.erase(command.find_last_not_of(',') + 1);
                    if (command != "and") {
                        EXPECT_EQ(commands.count(command), 1u) << run.err;
                        EXPECT_NE(command, Words(line).front()) << run.err;
                    }
                }
            }
            EXPECT_GT(takenBy, 0) << name << " goes with no command";
        }
    }
    EXPECT_EQ(RunCli(dir, std::string("status --frobnicate") + kProbe).err,
              "Unknown option --frobnicate; see --help\n");
}

TEST(CliHelp, ListsEveryCommandOptionAndExitCodeTheProgramHas) {
    const std::string help = Help();
    const std::set<std::string> commands = CommandNames(help);
    for (const char* command :
         {"status", "read", "write", "passwd", "diff", "report", "backups", "restore"}) {
        EXPECT_EQ(commands.count(command), 1u) << command;
    }
    std::set<std::string> options;
    for (const ListedOption& option : ListedOptions(help)) {
        options.insert(option.names.begin(), option.names.end());
    }
    for (const char* option :
         {"--password", "--password-file", "--new-password", "--force", "--no-backup", "--account",
          "--with-pin", "--watch", "--log", "--wait", "--simulate", "--sim-state", "--quiet", "-q",
          "--help", "-h", "--version"}) {
        EXPECT_EQ(options.count(option), 1u) << option;
    }
    const std::string exitCodes = help.substr(help.find("\nExit codes:\n"));
    for (const int code :
         {cli::kExitOk, cli::kExitNoDevice, cli::kExitBadPassword, cli::kExitBadFile,
          cli::kExitMismatch, cli::kExitOutput, cli::kExitUsage}) {
        EXPECT_NE(exitCodes.find("\n  " + std::to_string(code) + " "), std::string::npos) << code;
    }
}

}  // namespace
}  // namespace quelvar::test

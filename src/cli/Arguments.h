#pragma once
// The command line: one command, its file, and the options.

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace quelvar::cli {

struct CommandRow;  // CommandTable.h

// The most communicators --simulate presents.
inline constexpr int kMaxSimulated = 16;

struct Arguments {
    const CommandRow* command = nullptr;  // a row of Commands() once parsed
    std::string file;                     // read, write and diff; restore, when given
    std::string secondFile;               // diff of two files; report: the HTML file
    std::optional<std::string> password;
    std::optional<std::string> passwordFile;
    std::optional<std::string> newPassword;  // passwd, provision
    std::optional<std::string> newPasswordFile;
    bool simulate = false;                  // also set by --sim-state
    std::size_t simulateCount = 1;          // --simulate N: that many communicators
    std::optional<std::string> device;      // --device PATH or the number list printed
    bool json = false;                      // list: JSON instead of lines
    std::optional<std::string> valuesPath;  // provision: a row of values per device
    std::optional<std::string> recordPath;  // provision: a row per device provisioned
    std::optional<std::size_t> count;       // provision: end after this many devices
    std::optional<std::string> simState;
    double waitSeconds = 10;
    bool quiet = false;
    bool force = false;                  // write, restore: send a file with findings
    bool noBackup = false;               // write, restore: take no backup first
    bool all = false;                    // write, restore: every setting, not only what differs
    std::optional<std::string> account;  // backups: only this account ID's
    bool watch = false;                  // status: follow the status rounds until Ctrl+C
    std::optional<std::string> logPath;  // status --watch: CSV log
    bool withPin = false;                // report: print the SIM card's PIN too
    bool changes = false;                // history: each changed setting too
    // site: the customer's fields, as typed
    std::optional<std::string> customerName, customerAddress, customerPhone, customerNote;
};

struct ParsedArguments {
    std::optional<Arguments> arguments;
    bool help = false;     // --help was given: show the help and do nothing else
    bool version = false;  // --version was given: show the version and do nothing else
    std::string error;     // one line, when there are neither arguments nor help
};

// A password as the communicator takes it.
bool IsFourDigits(std::string_view text);

// Options may come before or after the command, as "--wait 5" or "--wait=5"; after "--" every
// word is a command or a file name.
ParsedArguments ParseArguments(const std::vector<std::string>& words);

// The passwords that were not given on the command line: --password-file, then the environment
// (QUELVAR_PASSWORD, QUELVAR_NEW_PASSWORD). An error line when one is no four digits or passwd
// has no new password; empty otherwise. `badFile` tells that the password file could not be read
// or its first line is too long; a warning about the file goes to `warnings`.
using Environment = std::function<const char*(const char* name)>;
std::string ResolvePasswords(Arguments& arguments, const Environment& environment,
                             std::ostream& warnings, bool& badFile);

// A file the command writes (report's page, read's settings file, --log, --sim-state) that is
// another file of the command under another name, or a link to it: the line that refuses it.
// Empty when every file is a file of its own.
std::string SameFileProblem(const Arguments& arguments);

}  // namespace quelvar::cli

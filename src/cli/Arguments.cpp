#include "cli/Arguments.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "cli/PasswordSource.h"
#include "io/FileReplace.h"

namespace quelvar::cli {

namespace {

constexpr double kMaxWaitSeconds = 86400;

bool IsFourDigits(const std::string& text) {
    if (text.size() != 4) {
        return false;
    }
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

std::optional<Command> CommandNamed(const std::string& name) {
    if (name == "status") {
        return Command::kStatus;
    }
    if (name == "read") {
        return Command::kRead;
    }
    if (name == "write") {
        return Command::kWrite;
    }
    if (name == "passwd") {
        return Command::kPasswd;
    }
    if (name == "diff") {
        return Command::kDiff;
    }
    if (name == "report") {
        return Command::kReport;
    }
    if (name == "backups") {
        return Command::kBackups;
    }
    if (name == "restore") {
        return Command::kRestore;
    }
    return std::nullopt;
}

bool TakesValue(const std::string& name) {
    return name == "--password" || name == "--new-password" || name == "--sim-state" ||
           name == "--wait" || name == "--password-file" || name == "--log" || name == "--account";
}

// Takes one option with its value; the error text when it is wrong.
std::string TakeOption(const std::string& name, const std::optional<std::string>& value,
                       Arguments& arguments) {
    auto needsValue = [&]() -> std::string { return name + " needs a value; see --help"; };
    auto noValue = [&]() -> std::string { return name + " takes no value"; };
    if (name == "--simulate" || name == "--quiet" || name == "-q" || name == "--force" ||
        name == "--watch" || name == "--no-backup" || name == "--with-pin") {
        if (value) {
            return noValue();
        }
        bool& flag = name == "--simulate"    ? arguments.simulate
                     : name == "--force"     ? arguments.force
                     : name == "--watch"     ? arguments.watch
                     : name == "--no-backup" ? arguments.noBackup
                     : name == "--with-pin"  ? arguments.withPin
                                             : arguments.quiet;
        flag = true;
        return {};
    }
    if (!TakesValue(name)) {
        return "Unknown option " + name + "; see --help";
    }
    if (!value) {
        return needsValue();
    }
    if (name == "--password" || name == "--new-password") {
        if (!IsFourDigits(*value)) {
            return name + " takes four digits, not \"" + *value + "\"";
        }
        (name == "--password" ? arguments.password : arguments.newPassword) = *value;
    } else if (name == "--sim-state" || name == "--password-file" || name == "--log" ||
               name == "--account") {
        if (value->empty()) {
            return needsValue();
        }
        if (name == "--account") {
            arguments.account = *value;
        } else if (name == "--log") {
            arguments.logPath = *value;
        } else if (name == "--password-file") {
            arguments.passwordFile = *value;
        } else {
            arguments.simState = *value;
            arguments.simulate = true;
        }
    } else {
        // Plain decimals only: strtod would also take "0x10", "1e3", "inf" and blanks.
        const bool decimal = value->find_first_not_of("0123456789.") == std::string::npos &&
                             std::count(value->begin(), value->end(), '.') <= 1 &&
                             value->find_first_of("0123456789") != std::string::npos;
        char* end = nullptr;
        const double seconds = decimal ? std::strtod(value->c_str(), &end) : -1;
        if (!decimal || *end != '\0' || !std::isfinite(seconds) || seconds < 0 ||
            seconds > kMaxWaitSeconds) {
            return "--wait takes a number of seconds from 0 to 86400, not \"" + *value + "\"";
        }
        arguments.waitSeconds = seconds;
    }
    return {};
}

}  // namespace

ParsedArguments ParseArguments(const std::vector<std::string>& words) {
    ParsedArguments parsed;
    Arguments arguments;
    std::vector<std::string> positional;
    bool optionsEnded = false;
    std::string error;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (optionsEnded || word.empty() || word[0] != '-' || word == "-") {
            positional.push_back(word);
            continue;
        }
        if (word == "--") {
            optionsEnded = true;
            continue;
        }
        if (word == "--help" || word == "-h") {
            parsed.help = true;
            return parsed;
        }
        if (word == "--version") {
            parsed.version = true;
            return parsed;
        }
        if (!error.empty()) {
            continue;  // still looking for --help
        }
        std::string name = word;
        std::optional<std::string> value;
        if (const std::size_t equals = word.find('='); equals != std::string::npos) {
            name = word.substr(0, equals);
            value = word.substr(equals + 1);
        } else if (TakesValue(name) && i + 1 < words.size()) {
            value = words[++i];
        }
        error = TakeOption(name, value, arguments);
    }
    if (error.empty()) {
        if (positional.empty()) {
            error = "No command given; see --help";
        } else if (const std::optional<Command> command = CommandNamed(positional[0])) {
            arguments.command = *command;
        } else {
            error = "Unknown command \"" + positional[0] + "\"; see --help";
        }
    }
    if (error.empty()) {
        const bool takesFile =
            arguments.command == Command::kRead || arguments.command == Command::kWrite ||
            arguments.command == Command::kDiff || arguments.command == Command::kReport;
        const bool takesTwo =
            arguments.command == Command::kDiff || arguments.command == Command::kReport;
        const bool mayTakeFile = takesFile || arguments.command == Command::kRestore;
        const std::size_t most = takesTwo ? 3u : (mayTakeFile ? 2u : 1u);
        if (arguments.command == Command::kReport && positional.size() != 3) {
            error =
                "The report command needs a settings file and the report's file: "
                "quelvar-gsm-cli report FILE.am2 OUT.html";
        } else if (takesFile && positional.size() < 2) {
            error = "The " + positional[0] + " command needs a settings file: quelvar-gsm-cli " +
                    positional[0] + " FILE.am2";
        } else if (positional.size() > most) {
            error = "Unexpected argument \"" + positional[most] + "\"";
        } else if (mayTakeFile && positional.size() > 1) {
            arguments.file = positional[1];
            arguments.secondFile = positional.size() > 2 ? positional[2] : std::string();
        }
    }
    const bool writes =
        arguments.command == Command::kWrite || arguments.command == Command::kRestore;
    if (error.empty()) {
        if (arguments.command != Command::kPasswd && arguments.newPassword) {
            error = "--new-password belongs to the passwd command";
        } else if (!writes && arguments.force) {
            error = "--force belongs to the write and restore commands";
        } else if (!writes && arguments.noBackup) {
            error = "--no-backup belongs to the write and restore commands";
        } else if (arguments.command != Command::kBackups && arguments.account) {
            error = "--account belongs to the backups command";
        } else if (arguments.command != Command::kReport && arguments.withPin) {
            error = "--with-pin belongs to the report command";
        } else if (arguments.command != Command::kStatus && arguments.watch) {
            error = "--watch belongs to the status command";
        } else if (!arguments.watch && arguments.logPath) {
            error = "--log goes with status --watch";
        } else if (arguments.password && arguments.passwordFile) {
            error = "Give the password once: --password or --password-file";
        }
    }
    if (!error.empty()) {
        parsed.error = std::move(error);
        return parsed;
    }
    parsed.arguments = std::move(arguments);
    return parsed;
}

std::string SameFileProblem(const Arguments& arguments) {
    struct Named {
        std::string path;
        bool written;
    };
    std::vector<Named> files;
    const bool reads = arguments.command != Command::kRead;
    if (!arguments.file.empty()) {
        files.push_back({arguments.file, !reads});
    }
    if (!arguments.secondFile.empty()) {
        files.push_back({arguments.secondFile, arguments.command == Command::kReport});
    }
    for (const auto& [path, written] :
         {std::pair{arguments.simState, true}, std::pair{arguments.logPath, true},
          std::pair{arguments.passwordFile, false}}) {
        if (path) {
            files.push_back({*path, written});
        }
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        for (std::size_t j = i + 1; j < files.size(); ++j) {
            if ((files[i].written || files[j].written) &&
                io::SameFile(files[i].path, files[j].path)) {
                const Named& output = files[j].written ? files[j] : files[i];
                const Named& other = files[j].written ? files[i] : files[j];
                return output.path + " is the same file as " + other.path +
                       "; name another file (nothing was written)";
            }
        }
    }
    return {};
}

std::string ResolvePasswords(Arguments& arguments, const Environment& environment,
                             std::ostream& warnings, bool& badFile) {
    badFile = false;
    if (!arguments.password && arguments.passwordFile) {
        std::string error;
        std::string warning;
        arguments.password = ReadPasswordFile(*arguments.passwordFile, error, warning);
        if (!arguments.password) {
            badFile = true;
            return error;
        }
        if (!warning.empty()) {
            warnings << warning << "\n";
        }
        if (!IsFourDigits(*arguments.password)) {
            return "The password file " + *arguments.passwordFile + " does not hold four digits";
        }
    }
    auto fromEnvironment = [&](const char* name, std::optional<std::string>& password) {
        const char* value = environment ? environment(name) : nullptr;
        if (password || value == nullptr || *value == '\0') {
            return std::string();
        }
        if (!IsFourDigits(value)) {
            return std::string(name) + " must hold four digits";
        }
        password = value;
        return std::string();
    };
    if (std::string error = fromEnvironment(kPasswordVariable, arguments.password);
        !error.empty()) {
        return error;
    }
    if (arguments.command == Command::kPasswd) {
        if (std::string error = fromEnvironment(kNewPasswordVariable, arguments.newPassword);
            !error.empty()) {
            return error;
        }
        if (!arguments.newPassword) {
            return "The passwd command needs the new password: --new-password NNNN, or "
                   "QUELVAR_NEW_PASSWORD in the environment";
        }
    }
    return {};
}

void PrintHelp(std::ostream& out) {
    out << "Usage: quelvar-gsm-cli COMMAND [FILE] [OPTIONS]\n"
           "\n"
           "Commands:\n"
           "  status              wait for the communicator and print its live status\n"
           "  status --watch      print every status round and event line as it comes, with\n"
           "                      the signal's minimum, mean and maximum, until Ctrl+C\n"
           "                      (--log FILE.csv also records them all)\n"
           "  read FILE.am2       log in, read every setting and save them to FILE\n"
           "  write FILE.am2      check FILE, log in, write its settings to the communicator,\n"
           "                      read them back and report every difference; a file with\n"
           "                      findings (missing or invalid settings) is refused\n"
           "  passwd              log in and set a new password (--new-password)\n"
           "  diff FILE.am2       log in, read every setting and list those that differ\n"
           "                      from FILE; nothing is written\n"
           "  diff A.am2 B.am2    list the settings that differ between two files\n"
           "  report FILE.am2 OUT.html\n"
           "                      write a settings report of FILE for the customer's records\n"
           "  backups             list the backups taken before each write, newest first\n"
           "                      (path, time, account ID, firmware; --account ID filters)\n"
           "  restore [FILE.am2]  write the newest backup of the communicator's account ID,\n"
           "                      or FILE, as write does (with a backup of its own first)\n"
           "\n"
           "Options:\n"
           "  --password NNNN     the communicator's four-digit password, if it has one\n"
           "                      (visible to other users: prefer the next two)\n"
           "  --password-file F   read the password from the first line of F (at most 64\n"
           "                      bytes; a warning when others may read F)\n"
           "                      (or set QUELVAR_PASSWORD; on a terminal it is asked for)\n"
           "  --new-password NNNN the new four-digit password (passwd; or set\n"
           "                      QUELVAR_NEW_PASSWORD)\n"
           "  --force             write, restore: send a file even though it has findings\n"
           "  --no-backup         write, restore: write even when no backup can be taken\n"
           "                      (and take none)\n"
           "  --account ID        backups: only those of this account ID\n"
           "  --log FILE.csv      status --watch: record every status report and event line\n"
           "  --with-pin          report: print the SIM card's PIN (left out otherwise)\n"
           "  --wait SECONDS      how long to wait for the device, in decimal seconds\n"
           "                      (default 10)\n"
           "  --simulate          talk to the built-in simulated communicator instead of USB\n"
           "  --sim-state FILE    keep the simulated communicator's settings and memory in\n"
           "                      FILE between runs (implies --simulate)\n"
           "  --quiet, -q         no progress on standard error\n"
           "  --help, -h          show this text\n"
           "  --version           show the version\n"
           "\n"
           "Exit codes:\n"
           "  0   success\n"
           "  1   device not found, gone or not answering\n"
           "  2   bad password, or a password is needed\n"
           "  3   bad file: not a settings file, unreadable, or cannot be written\n"
           "      (write, restore: the backup cannot be written)\n"
           "  4   the settings read back differ from the file (diff: the two differ)\n"
           "  5   write error: standard output did not take everything printed\n"
           "  64  bad usage\n"
           "  129, 130, 143  interrupted (SIGHUP, Ctrl+C, SIGTERM)\n";
}

}  // namespace quelvar::cli

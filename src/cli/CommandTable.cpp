#include "cli/CommandTable.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "cli/BackupStep.h"
#include "cli/BackupsCommand.h"
#include "cli/CodesCommand.h"
#include "cli/DeviceList.h"
#include "cli/DiffCommand.h"
#include "cli/PasswdCommand.h"
#include "cli/ProgressBar.h"
#include "cli/ProvisionCommand.h"
#include "cli/ReadCommand.h"
#include "cli/ReportCommand.h"
#include "cli/SitesCommand.h"
#include "cli/StatusCommand.h"
#include "cli/WatchCommand.h"
#include "cli/WriteCommand.h"
#include "settings/BackupStore.h"

namespace quelvar::cli {

namespace {

constexpr double kMaxWaitSeconds = 86400;
constexpr std::size_t kHelpColumn = 22;

BackupOptions BackupOptionsOf(const Arguments& arguments) {
    return {arguments.noBackup, settings::DefaultBackupFolder(std::getenv)};
}

std::string TakeFourDigits(const std::string& name, const std::string& value,
                           std::optional<std::string>& into) {
    if (!IsFourDigits(value)) {
        return name + " takes four digits, not \"" + value + "\"";
    }
    into = value;
    return {};
}

std::string TakeName(const std::string& name, const std::string& value,
                     std::optional<std::string>& into) {
    if (value.empty()) {
        return name + " needs a value; see --help";
    }
    into = value;
    return {};
}

// Any text, the empty one too (it clears a field).
std::string TakeText(const std::string&, const std::string& value,
                     std::optional<std::string>& into) {
    into = value;
    return {};
}

std::string TakeSeconds(const std::string& name, const std::string& value, double& into) {
    // Plain decimals only: strtod would also take "0x10", "1e3", "inf" and blanks.
    const bool decimal = value.find_first_not_of("0123456789.") == std::string::npos &&
                         std::count(value.begin(), value.end(), '.') <= 1 &&
                         value.find_first_of("0123456789") != std::string::npos;
    char* end = nullptr;
    const double seconds = decimal ? std::strtod(value.c_str(), &end) : -1;
    if (!decimal || *end != '\0' || !std::isfinite(seconds) || seconds < 0 ||
        seconds > kMaxWaitSeconds) {
        return name + " takes a number of seconds from 0 to 86400, not \"" + value + "\"";
    }
    into = seconds;
    return {};
}

// The help's lines start in one column, at least two blanks after the name; a name too long for
// that has its help on the next line.
void PrintEntry(std::ostream& out, const std::string& name, std::string_view help) {
    std::string line = "  " + name;
    if (line.size() + 1 < kHelpColumn) {
        line.resize(kHelpColumn, ' ');
    } else {
        out << line << "\n";
        line.assign(kHelpColumn, ' ');
    }
    for (;;) {
        const std::size_t end = help.find('\n');
        out << line << help.substr(0, end) << "\n";
        if (end == std::string_view::npos) {
            return;
        }
        help.remove_prefix(end + 1);
        line.assign(kHelpColumn, ' ');
    }
}

}  // namespace

const std::vector<CommandRow>& Commands() {
    static const std::vector<CommandRow> commands = {
        {.name = "status",
         .usages = {{"", "wait for the communicator and print its live status"},
                    {"--watch",
                     "print every status round and event line as it comes, with\n"
                     "the signal's minimum, mean and maximum, until Ctrl+C\n"
                     "(--log FILE.csv also records them all)"}},
         .handler =
             [](const CommandRun& run) {
                 const Arguments& arguments = run.arguments;
                 // Plain status is left to end at Ctrl+C at once: it changes nothing.
                 return run.withDevice(
                     [&](const CommandContext& context) {
                         if (arguments.watch) {
                             const WatchOptions options{context.wait, arguments.logPath,
                                                        StandardOutputIsTerminal(),
                                                        context.devicePath};
                             return RunWatch(context.platform, options, context.out, context.err);
                         }
                         return RunStatus(context.platform, context.wait, context.out, context.err,
                                          context.devicePath);
                     },
                     arguments.watch);
             }},
        {.name = "list",
         .usages = {{"",
                     "list every communicator attached: number, port, USB path,\n"
                     "firmware, whether a password is set, account ID (--json)"}},
         .handler =
             [](const CommandRun& run) {
                 return run.withDevice(
                     [&](const CommandContext& context) {
                         return RunList(context.platform, context.wait, run.arguments.json,
                                        context.out, context.err);
                     },
                     false);
             },
         .everyDevice = true},
        {.name = "read",
         .usages = {{"FILE.am2", "log in, read every setting and save them to FILE"}},
         .files = {FileRole::kWritten},
         .requiredFiles = 1,
         .filesNeeded = "a settings file",
         .handler =
             [](const CommandRun& run) {
                 return run.withDevice(
                     [&](const CommandContext& context) {
                         return RunRead(context, run.arguments.file);
                     },
                     true);
             }},
        {.name = "write",
         .usages = {{"FILE.am2",
                     "check FILE, log in, write the settings that differ from the\n"
                     "communicator's (--all: every one), read them back and report\n"
                     "every difference; a file with findings (missing or invalid\n"
                     "settings) is refused"}},
         .files = {FileRole::kSettings},
         .requiredFiles = 1,
         .filesNeeded = "a settings file",
         .handler =
             [](const CommandRun& run) {
                 const Arguments& arguments = run.arguments;
                 return run.withDevice(
                     [&](const CommandContext& context) {
                         return RunWrite(context, arguments.file, *run.content, arguments.force,
                                         BackupOptionsOf(arguments),
                                         sites::RevisionKind::kCommandWrite, arguments.all);
                     },
                     true);
             }},
        {.name = "passwd",
         .usages = {{"", "log in and set a new password (--new-password)"}},
         .handler =
             [](const CommandRun& run) {
                 return run.withDevice(
                     [&](const CommandContext& context) {
                         return RunPasswd(context, run.arguments.newPassword.value_or(""));
                     },
                     true);
             }},
        {.name = "diff",
         .usages = {{"FILE.am2",
                     "log in, read every setting and list those that differ\n"
                     "from FILE; nothing is written"},
                    {"A.am2 B.am2", "list the settings that differ between two files"}},
         .files = {FileRole::kSettings, FileRole::kSettings},
         .requiredFiles = 1,
         .filesNeeded = "a settings file",
         .handler =
             [](const CommandRun& run) {
                 const Arguments& arguments = run.arguments;
                 if (run.secondContent) {
                     return RunDiffOfFiles(run.out, run.err, arguments.file, *run.content,
                                           arguments.secondFile, *run.secondContent);
                 }
                 return run.withDevice(
                     [&](const CommandContext& context) {
                         return RunDiffWithDevice(context, arguments.file, *run.content);
                     },
                     true);
             }},
        {.name = "report",
         .usages = {{"FILE.am2 OUT.html",
                     "write a settings report of FILE for the customer's records"}},
         .files = {FileRole::kSettings, FileRole::kWritten},
         .requiredFiles = 2,
         .filesNeeded = "a settings file and the report's file",
         .handler =
             [](const CommandRun& run) {
                 const Arguments& arguments = run.arguments;
                 return RunReport(arguments.file, *run.content, arguments.secondFile,
                                  arguments.withPin, run.out, run.err);
             }},
        {.name = "backups",
         .usages = {{"",
                     "list the backups taken before each write, newest first\n"
                     "(path, time, account ID, firmware; --account ID filters)"}},
         .handler =
             [](const CommandRun& run) {
                 return RunBackups(run.out, run.err, BackupOptionsOf(run.arguments),
                                   run.arguments.account);
             }},
        {.name = "restore",
         .usages = {{"[FILE.am2]",
                     "write the newest backup of the communicator's account ID,\n"
                     "or FILE, as write does (with a backup of its own first)"}},
         .files = {FileRole::kSettings},
         .handler =
             [](const CommandRun& run) {
                 const Arguments& arguments = run.arguments;
                 return run.withDevice(
                     [&](const CommandContext& context) {
                         return RunRestore(context, arguments.file, run.content, arguments.force,
                                           BackupOptionsOf(arguments), arguments.all);
                     },
                     true);
             }},
        {.name = "provision",
         .usages = {{"TEMPLATE.am2",
                     "wait for communicators and write TEMPLATE to each one plugged\n"
                     "in, several at once, each with its own row of --values,\n"
                     "only what differs, after a backup, verified; until --count\n"
                     "devices, the rows are used up, or Ctrl+C"}},
         .files = {FileRole::kSettings},
         .requiredFiles = 1,
         .filesNeeded = "a template settings file",
         .handler =
             [](const CommandRun& run) {
                 const Arguments& a = run.arguments;
                 return run.withDevice(
                     [&](const CommandContext& context) {
                         const ProvisionOptions options{
                             a.file,     a.valuesPath,  a.recordPath,      a.count,
                             a.password, a.newPassword, BackupOptionsOf(a)};
                         return RunProvision(context.platform, *run.content, options, context.out,
                                             context.err);
                     },
                     true);
             },
         .everyDevice = true},
        {.name = "codes",
         .usages = {{"[TEXT]",
                     "list the Contact ID event codes and their names; with TEXT\n"
                     "those whose code starts with its digits or whose name holds\n"
                     "its words; 13* is said as the pattern it is"}},
         .files = {FileRole::kWord},
         .handler =
             [](const CommandRun& run) { return RunCodes(run.out, run.err, run.arguments.file); }},
        {.name = "sites",
         .usages = {{"[TEXT]",
                     "list the sites of the register (account ID, customer, address,\n"
                     "last change, firmware, revisions); TEXT keeps those that hold it"}},
         .files = {FileRole::kWord},
         .handler =
             [](const CommandRun& run) { return RunSites(run.out, run.err, run.arguments.file); }},
        {.name = "history",
         .usages = {{"ACCOUNT",
                     "list the site's revisions, newest first (--changes: each\n"
                     "changed setting too)"}},
         .files = {FileRole::kWord},
         .requiredFiles = 1,
         .filesNeeded = "an account ID",
         .handler =
             [](const CommandRun& run) {
                 return RunHistory(run.out, run.err, run.arguments.file, run.arguments.changes);
             }},
        {.name = "site",
         .usages = {{"ACCOUNT",
                     "show the site's customer fields; --name, --address, --phone\n"
                     "and --note change them"}},
         .files = {FileRole::kWord},
         .requiredFiles = 1,
         .filesNeeded = "an account ID",
         .handler =
             [](const CommandRun& run) {
                 const Arguments& a = run.arguments;
                 return RunSite(
                     run.out, run.err, a.file,
                     {a.customerName, a.customerAddress, a.customerPhone, a.customerNote});
             }},
        {.name = "register",
         .usages = {{"export FILE.csv", "write the sites and their revisions to a CSV file"}},
         .files = {FileRole::kWord, FileRole::kWritten},
         .requiredFiles = 2,
         .filesNeeded = "export and the CSV file",
         .handler =
             [](const CommandRun& run) {
                 return RunRegisterExport(run.out, run.err, run.arguments.file,
                                          run.arguments.secondFile);
             }},
    };
    return commands;
}

const std::vector<OptionRow>& Options() {
    static const std::vector<OptionRow> options = {
        {.name = "--password",
         .valueName = "NNNN",
         .help = "the communicator's four-digit password, if it has one\n"
                 "(visible to other users: prefer the next two)",
         .take =
             [](const std::string& name, const std::string& value, Arguments& arguments) {
                 return TakeFourDigits(name, value, arguments.password);
             }},
        {.name = "--password-file",
         .valueName = "F",
         .help = "read the password from the first line of F (at most 64\n"
                 "bytes; a warning when others may read F)\n"
                 "(or set QUELVAR_PASSWORD; on a terminal it is asked for)",
         .take =
             [](const std::string& name, const std::string& value, Arguments& arguments) {
                 return TakeName(name, value, arguments.passwordFile);
             }},
        {.name = "--new-password",
         .valueName = "NNNN",
         .help = "the new four-digit password (passwd; or set\n"
                 "QUELVAR_NEW_PASSWORD)",
         .commands = {"passwd"},
         .take =
             [](const std::string& name, const std::string& value, Arguments& arguments) {
                 return TakeFourDigits(name, value, arguments.newPassword);
             }},
        {.name = "--new-password-file",
         .valueName = "F",
         .help = "passwd, provision: the new password from the first line\n"
                 "of F (provision sets it on each device once verified)",
         .commands = {"passwd", "provision"},
         .take =
             [](const std::string& name, const std::string& value, Arguments& arguments) {
                 return TakeName(name, value, arguments.newPasswordFile);
             }},
        {.name = "--force",
         .help = "write, restore: send a file even though it has findings",
         .commands = {"write", "restore"},
         .flag = &Arguments::force},
        {.name = "--all",
         .help = "write, restore: write every setting, not only those that\n"
                 "differ from the device",
         .commands = {"write", "restore"},
         .flag = &Arguments::all},
        {.name = "--no-backup",
         .help = "write, restore: write even when no backup can be taken\n"
                 "(and take none)",
         .commands = {"write", "restore"},
         .flag = &Arguments::noBackup},
        {.name = "--account",
         .valueName = "ID",
         .help = "backups: only those of this account ID",
         .commands = {"backups"},
         .take = [](const std::string& name, const std::string& value,
                    Arguments& arguments) { return TakeName(name, value, arguments.account); }},
        {.name = "--values",
         .valueName = "FILE.csv",
         .help = "provision: one row of settings per device; the header\n"
                 "names their keys (ACCID,UPHN1,...)",
         .commands = {"provision"},
         .take = [](const std::string& name, const std::string& value,
                    Arguments& arguments) { return TakeName(name, value, arguments.valuesPath); }},
        {.name = "--record",
         .valueName = "FILE.csv",
         .help = "provision: a row per device (time, port, path, firmware,\n"
                 "account IDs, values, outcome, backup, seconds)",
         .commands = {"provision"},
         .take = [](const std::string& name, const std::string& value,
                    Arguments& arguments) { return TakeName(name, value, arguments.recordPath); }},
        {.name = "--count",
         .valueName = "N",
         .help = "provision: end after N devices",
         .commands = {"provision"},
         .take =
             [](const std::string& name, const std::string& value, Arguments& arguments) {
                 if (value.empty() || value.size() > 6 ||
                     value.find_first_not_of("0123456789") != std::string::npos ||
                     std::stoul(value) == 0) {
                     return name + " takes a number of devices, not \"" + value + "\"";
                 }
                 arguments.count = std::stoul(value);
                 return std::string();
             }},
        {.name = "--changes",
         .help = "history: each changed setting of every revision",
         .commands = {"history"},
         .flag = &Arguments::changes},
        {.name = "--name",
         .valueName = "TEXT",
         .help = "site: the customer's name",
         .commands = {"site"},
         .take =
             [](const std::string& name, const std::string& value, Arguments& arguments) {
                 return TakeText(name, value, arguments.customerName);
             }},
        {.name = "--address",
         .valueName = "TEXT",
         .help = "site: the customer's address",
         .commands = {"site"},
         .take =
             [](const std::string& name, const std::string& value, Arguments& arguments) {
                 return TakeText(name, value, arguments.customerAddress);
             }},
        {.name = "--phone",
         .valueName = "TEXT",
         .help = "site: the customer's contact telephone",
         .commands = {"site"},
         .take =
             [](const std::string& name, const std::string& value, Arguments& arguments) {
                 return TakeText(name, value, arguments.customerPhone);
             }},
        {.name = "--note",
         .valueName = "TEXT",
         .help = "site: notes on the site",
         .commands = {"site"},
         .take =
             [](const std::string& name, const std::string& value, Arguments& arguments) {
                 return TakeText(name, value, arguments.customerNote);
             }},
        {.name = "--with-pin",
         .help = "report: print the SIM card's PIN (left out otherwise)",
         .commands = {"report"},
         .flag = &Arguments::withPin},
        {.name = "--watch",
         .help = "status: follow the status rounds and event lines until Ctrl+C",
         .commands = {"status"},
         .flag = &Arguments::watch},
        // Goes with --watch rather than with a command: checked on its own.
        {.name = "--log",
         .valueName = "FILE.csv",
         .help = "status --watch: record every status report and event line",
         .take = [](const std::string& name, const std::string& value,
                    Arguments& arguments) { return TakeName(name, value, arguments.logPath); }},
        {.name = "--wait",
         .valueName = "SECONDS",
         .help = "how long to wait for the device, in decimal seconds\n"
                 "(default 10)",
         .take =
             [](const std::string& name, const std::string& value, Arguments& arguments) {
                 return TakeSeconds(name, value, arguments.waitSeconds);
             }},
        {.name = "--device",
         .valueName = "PATH|N",
         .help = "the communicator to talk to: its USB path or the number\n"
                 "list printed (needed when several are attached)",
         .take = [](const std::string& name, const std::string& value,
                    Arguments& arguments) { return TakeName(name, value, arguments.device); }},
        {.name = "--json",
         .help = "list: print JSON instead of lines",
         .commands = {"list"},
         .flag = &Arguments::json},
        {.name = "--simulate",
         .valueName = "[N]",
         .help = "talk to the built-in simulated communicator instead of USB\n"
                 "(N: that many, each with its own state and timing)",
         .flag = &Arguments::simulate},
        {.name = "--sim-state",
         .valueName = "FILE",
         .help = "keep the simulated communicator's settings and memory in\n"
                 "FILE between runs (implies --simulate)",
         .take =
             [](const std::string& name, const std::string& value, Arguments& arguments) {
                 std::string error = TakeName(name, value, arguments.simState);
                 arguments.simulate = arguments.simulate || error.empty();
                 return error;
             }},
        {.name = "--quiet",
         .shortName = "-q",
         .help = "no progress on standard error",
         .flag = &Arguments::quiet},
        {.name = "--help",
         .shortName = "-h",
         .help = "show this text",
         .answer = &ParsedArguments::help},
        {.name = "--version", .help = "show the version", .answer = &ParsedArguments::version},
    };
    return options;
}

const CommandRow* FindCommand(std::string_view name) {
    const std::vector<CommandRow>& commands = Commands();
    const auto found =
        std::find_if(commands.begin(), commands.end(),
                     [&](const CommandRow& command) { return command.name == name; });
    return found == commands.end() ? nullptr : &*found;
}

const OptionRow* FindOption(std::string_view name) {
    const std::vector<OptionRow>& options = Options();
    const auto found = std::find_if(options.begin(), options.end(), [&](const OptionRow& option) {
        return option.name == name || (!option.shortName.empty() && option.shortName == name);
    });
    return found == options.end() ? nullptr : &*found;
}

bool GoesWith(const OptionRow& option, const CommandRow& command) {
    return option.commands.empty() || std::find(option.commands.begin(), option.commands.end(),
                                                command.name) != option.commands.end();
}

void PrintHelp(std::ostream& out) {
    out << "Usage: quelvar-gsm-cli COMMAND [FILE] [OPTIONS]\n"
           "\n"
           "Commands:\n";
    for (const CommandRow& command : Commands()) {
        for (const CommandUsage& usage : command.usages) {
            std::string name(command.name);
            if (!usage.arguments.empty()) {
                name += " ";
                name += usage.arguments;
            }
            PrintEntry(out, name, usage.help);
        }
    }
    out << "\n"
           "Options:\n";
    for (const OptionRow& option : Options()) {
        std::string name(option.name);
        if (!option.shortName.empty()) {
            name += ", ";
            name += option.shortName;
        }
        if (!option.valueName.empty()) {
            name += " ";
            name += option.valueName;
        }
        PrintEntry(out, name, option.help);
    }
    out << "\n"
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

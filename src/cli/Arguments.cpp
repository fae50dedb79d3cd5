#include "cli/Arguments.h"

#include <algorithm>

#include "cli/CommandTable.h"
#include "cli/PasswordSource.h"
#include "io/FileReplace.h"

namespace quelvar::cli {

namespace {

// Takes one option with its value; the error line when it is wrong.
std::string TakeOption(const std::string& name, const std::optional<std::string>& value,
                       const OptionRow* option, Arguments& arguments) {
    // --help and --version were taken whole; "--help=x" is none of them.
    if (option == nullptr || option->answer != nullptr) {
        return "Unknown option " + name + "; see --help";
    }
    if (option->flag == &Arguments::simulate && value) {
        const bool count = !value->empty() && value->size() <= 2 &&
                           value->find_first_not_of("0123456789") == std::string::npos;
        if (!count || std::stoi(*value) < 1 || std::stoi(*value) > kMaxSimulated) {
            return name + " takes a number of communicators from 1 to " +
                   std::to_string(kMaxSimulated) + ", not \"" + *value + "\"";
        }
        arguments.simulate = true;
        arguments.simulateCount = static_cast<std::size_t>(std::stoi(*value));
        return {};
    }
    if (option->flag != nullptr) {
        if (value) {
            return name + " takes no value";
        }
        arguments.*(option->flag) = true;
        return {};
    }
    if (!value) {
        return name + " needs a value; see --help";
    }
    return option->take(name, *value, arguments);
}

// The files after the command's name, as many as it takes.
std::string TakeFiles(const std::vector<std::string>& positional, Arguments& arguments) {
    const CommandRow& command = *arguments.command;
    const std::size_t given = positional.size() - 1;
    if (given < command.requiredFiles) {
        return "The " + std::string(command.name) + " command needs " +
               std::string(command.filesNeeded) + ": quelvar-gsm-cli " + std::string(command.name) +
               " " + std::string(command.usages.front().arguments);
    }
    if (given > command.files.size()) {
        return "Unexpected argument \"" + positional[command.files.size() + 1] + "\"";
    }
    arguments.file = given > 0 ? positional[1] : std::string();
    arguments.secondFile = given > 1 ? positional[2] : std::string();
    return {};
}

// "write and restore", "a, b and c".
std::string Listed(const std::vector<std::string_view>& names) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) {
            text += i + 1 == names.size() ? " and " : ", ";
        }
        text += names[i];
    }
    return text;
}

// An option given with a command it does not go with, or two that exclude each other.
std::string CombinationProblem(const std::vector<const OptionRow*>& given,
                               const Arguments& arguments) {
    for (const OptionRow& option : Options()) {
        if (GoesWith(option, *arguments.command) ||
            std::find(given.begin(), given.end(), &option) == given.end()) {
            continue;
        }
        return std::string(option.name) + " belongs to the " + Listed(option.commands) +
               (option.commands.size() > 1 ? " commands" : " command");
    }
    if (!arguments.watch && arguments.logPath) {
        return "--log goes with status --watch";
    }
    if (arguments.simState && arguments.simulateCount > 1) {
        return "--sim-state keeps one simulated communicator, not " +
               std::to_string(arguments.simulateCount);
    }
    if (arguments.password && arguments.passwordFile) {
        return "Give the password once: --password or --password-file";
    }
    if (arguments.newPassword && arguments.newPasswordFile) {
        return "Give the new password once: --new-password or --new-password-file";
    }
    return {};
}

}  // namespace

bool IsFourDigits(std::string_view text) {
    return text.size() == 4 && text.find_first_not_of("0123456789") == std::string_view::npos;
}

ParsedArguments ParseArguments(const std::vector<std::string>& words) {
    ParsedArguments parsed;
    Arguments arguments;
    std::vector<std::string> positional;
    std::vector<const OptionRow*> given;
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
        if (const OptionRow* option = FindOption(word); option && option->answer) {
            parsed.*(option->answer) = true;
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
        }
        const OptionRow* option = FindOption(name);
        if (!value && option && option->take && i + 1 < words.size()) {
            value = words[++i];
        }
        // --simulate takes a count when one follows, and is a plain flag otherwise.
        if (!value && option && option->flag == &Arguments::simulate && i + 1 < words.size() &&
            !words[i + 1].empty() &&
            words[i + 1].find_first_not_of("0123456789") == std::string::npos) {
            value = words[++i];
        }
        error = TakeOption(name, value, option, arguments);
        given.push_back(option);
    }
    if (error.empty()) {
        if (positional.empty()) {
            error = "No command given; see --help";
        } else if (const CommandRow* command = FindCommand(positional[0])) {
            arguments.command = command;
            error = TakeFiles(positional, arguments);
        } else {
            error = "Unknown command \"" + positional[0] + "\"; see --help";
        }
    }
    if (error.empty()) {
        error = CombinationProblem(given, arguments);
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
    auto writes = [&](std::size_t index) {
        return arguments.command != nullptr && index < arguments.command->files.size() &&
               arguments.command->files[index] == FileRole::kWritten;
    };
    auto word = [&](std::size_t index) {
        return arguments.command != nullptr && index < arguments.command->files.size() &&
               arguments.command->files[index] == FileRole::kWord;
    };
    if (!arguments.file.empty() && !word(0)) {
        files.push_back({arguments.file, writes(0)});
    }
    if (!arguments.secondFile.empty() && !word(1)) {
        files.push_back({arguments.secondFile, writes(1)});
    }
    for (const auto& [path, written] :
         {std::pair{arguments.simState, true}, std::pair{arguments.logPath, true},
          std::pair{arguments.passwordFile, false}, std::pair{arguments.newPasswordFile, false}}) {
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

namespace {

// A password file's four digits into `password`; the error line when there are none.
std::string TakePasswordFile(const std::optional<std::string>& path,
                             std::optional<std::string>& password, std::ostream& warnings,
                             bool& badFile) {
    if (password || !path) {
        return {};
    }
    std::string error;
    std::string warning;
    password = ReadPasswordFile(*path, error, warning);
    if (!password) {
        badFile = true;
        return error;
    }
    if (!warning.empty()) {
        warnings << warning << "\n";
    }
    if (!IsFourDigits(*password)) {
        return "The password file " + *path + " does not hold four digits";
    }
    return {};
}

}  // namespace

std::string ResolvePasswords(Arguments& arguments, const Environment& environment,
                             std::ostream& warnings, bool& badFile) {
    badFile = false;
    for (auto [path, password] : {std::pair{&arguments.passwordFile, &arguments.password},
                                  std::pair{&arguments.newPasswordFile, &arguments.newPassword}}) {
        if (std::string error = TakePasswordFile(*path, *password, warnings, badFile);
            !error.empty()) {
            return error;
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
    if (arguments.command != nullptr && arguments.command->name == "passwd") {
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

}  // namespace quelvar::cli

#pragma once
// Runs quelvar-gsm-cli as a process, in a temporary folder, and collects what it printed.

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/DataHome.h"
#include "support/SettingsFiles.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace quelvar::test {

struct CliRun {
    int code = -1;
    std::string out;
    std::string err;
    std::chrono::milliseconds took{0};
};

#ifdef _WIN32
// Windows text mode ends lines with CR LF; the tests compare lines as "\n"-ended.
inline std::string WithoutCarriageReturns(std::string text) {
    std::string::size_type at = 0;
    while ((at = text.find("\r\n", at)) != std::string::npos) {
        text.erase(at, 1);
    }
    return text;
}
#endif

// `arguments` go to the shell as they are; files named in them are relative to `dir`.
inline CliRun RunCli(const TempDir& dir, const std::string& arguments) {
    const std::string out = dir.File("stdout.txt");
    const std::string err = dir.File("stderr.txt");
#ifdef _WIN32
    // cmd.exe: `cd /d` changes the drive as well (the temporary folder may be on another one
    // than the build, as under Wine), so the program's path is made absolute, drive included.
    const std::string cli = std::filesystem::absolute(QUELVAR_CLI_PATH).make_preferred().string();
    const std::string command = "cd /d \"" + dir.path.string() + "\" && \"" + cli + "\" " +
                                arguments + " >\"" + out + "\" 2>\"" + err + "\"";
#else
    const std::string command = "cd \"" + dir.path.string() + "\" && \"" QUELVAR_CLI_PATH "\" " +
                                arguments + " >\"" + out + "\" 2>\"" + err + "\"";
#endif
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system(command.c_str());
    CliRun run;
    run.took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
#ifdef _WIN32
    run.code = status;
#else
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    run.out = ReadBytes(out);
    run.err = ReadBytes(err);
#ifdef _WIN32
    run.out = WithoutCarriageReturns(run.out);
    run.err = WithoutCarriageReturns(run.err);
#endif
    return run;
}

#ifndef _WIN32
// Runs a POSIX shell script in `dir`, with $CLI naming the program; its exit code.
inline int RunScript(const TempDir& dir, const std::string& script) {
    const std::string command =
        "cd \"" + dir.path.string() + "\" || exit 99; CLI=\"" QUELVAR_CLI_PATH "\"; " + script;
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
#endif

}  // namespace quelvar::test

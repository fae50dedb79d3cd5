#pragma once
// Runs quelvar-gsm-cli as a process, in a temporary folder, and collects what it printed.

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sim/SimStateFile.h"
#include "support/DataHome.h"
#include "support/SettingsFiles.h"

#ifdef _WIN32
#include <windows.h>
#else
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

#ifdef _WIN32
// Started directly rather than through cmd.exe: under Wine, cmd now and then reports a program
// it has just run as not found (exit 9009), which a test would take for the program's answer.
inline HANDLE InheritableOutputFile(const std::string& path) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

inline int RunProgram(const std::string& commandLine, const std::string& folder,
                      const std::string& outPath, const std::string& errPath) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE in = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    HANDLE out = InheritableOutputFile(outPath);
    HANDLE err = InheritableOutputFile(errPath);
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    std::string mutableLine = commandLine;
    DWORD code = 0;
    if (CreateProcessA(nullptr, mutableLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                       folder.c_str(), &startup, &process)) {
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    } else {
        code = 1000000 + GetLastError();  // never an exit code of the program
    }
    CloseHandle(in);
    CloseHandle(out);
    CloseHandle(err);
    return static_cast<int>(code);
}
#endif

// The text's lines, without their line ends.
inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// `arguments` are split as a shell (or the Windows C runtime) would; files named in them are
// relative to `dir`.
inline CliRun RunCli(const TempDir& dir, const std::string& arguments) {
    const std::string out = dir.File("stdout.txt");
    const std::string err = dir.File("stderr.txt");
    const auto start = std::chrono::steady_clock::now();
#ifdef _WIN32
    const std::string cli = std::filesystem::absolute(QUELVAR_CLI_PATH).make_preferred().string();
    const int code = RunProgram("\"" + cli + "\" " + arguments, dir.path.string(), out, err);
#else
    const std::string command = "cd \"" + dir.path.string() + "\" && \"" QUELVAR_CLI_PATH "\" " +
                                arguments + " >\"" + out + "\" 2>\"" + err + "\"";
    const int status = std::system(command.c_str());
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    CliRun run;
    run.took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    run.code = code;
    run.out = ReadBytes(out);
    run.err = ReadBytes(err);
#ifdef _WIN32
    run.out = WithoutCarriageReturns(run.out);
    run.err = WithoutCarriageReturns(run.err);
#endif
    return run;
}

// A parameter of the simulated communicator's state file, as a command left it.
inline std::string SimParameter(const std::string& statePath, const std::string& key) {
    const sim::SimStateFileRead read = sim::ReadSimStateFile(statePath);
    EXPECT_TRUE(read.state) << read.error;
    return read.state ? read.state->parameters.at(key) : std::string();
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

// quelvar-gsm-cli against a simulated device that stays plugged in but stops answering: at the
// start, in the middle and at the end of the log-in's read, the write and its verify. Each run
// gives up after the silence limit and says where and what the device holds.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "cli/CliRun.h"

namespace quelvar::test {
namespace {

// The simulator's switch: it answers this many commands of the run, then nothing.
void AnswerOnly(const std::string& commands) {
#ifdef _WIN32
    _putenv_s("QUELVAR_SIM_SILENT_AFTER", commands.c_str());  // "" removes it
#else
    if (commands.empty()) {
        ::unsetenv("QUELVAR_SIM_SILENT_AFTER");
    } else {
        ::setenv("QUELVAR_SIM_SILENT_AFTER", commands.c_str(), 1);
    }
#endif
}

struct Silence {
    const char* command;
    int answered;
    const char* says;
};

// read: "PW", then 401 reads. write --all --no-backup: "PW", "GACK", 403 writes, then the verify's
// 401 reads. One command left unanswered is no silence, so each end is a few commands before the
// last.
constexpr Silence kSilences[] = {
    {"read", 1, "while reading settings (nothing for 3 s): nothing was saved"},
    {"read", 200, "while reading the alarm table (nothing for 3 s): nothing was saved"},
    {"read", 390, "while reading the input table (nothing for 3 s): nothing was saved"},
    {"write", 2, "while writing settings (nothing for 3 s): it holds a partial"},
    {"write", 200, "while writing the alarm table (nothing for 3 s): it holds a partial"},
    {"write", 400, "while writing the input table (nothing for 3 s): it holds a partial"},
    {"write", 405, "while reading settings (nothing for 3 s): everything was written, not"},
    {"write", 600, "while reading the alarm table (nothing for 3 s): everything was written"},
    {"write", 790, "while reading the input table (nothing for 3 s): everything was written"},
};

TEST(CliSilentDevice, GivesUpAfterTheSilenceLimitAndSaysWhatTheDeviceHolds) {
    for (const Silence& silence : kSilences) {
        TempDir dir;
        AnswerOnly("");
        ASSERT_EQ(RunCli(dir, "read site.am2 --sim-state device.state -q").code, 0);
        AnswerOnly(std::to_string(silence.answered));
        const std::string command = silence.command;
        const CliRun run = RunCli(dir, command + " site.am2 --sim-state device.state -q" +
                                           (command == "write" ? " --all --no-backup" : ""));
        AnswerOnly("");
        EXPECT_EQ(run.code, 1) << silence.command << " " << silence.answered;
        EXPECT_NE(run.err.find("The device stopped answering " + std::string(silence.says)),
                  std::string::npos)
            << silence.answered << ": " << run.err;
        // Minutes before the limit: at most the limit, one command's wait and the start-up.
        EXPECT_LT(run.took, std::chrono::seconds(8)) << silence.answered;
    }
}

}  // namespace
}  // namespace quelvar::test

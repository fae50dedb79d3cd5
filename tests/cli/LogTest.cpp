// The command line's outputs that used to lose data: a report over its own input, the CSV log of
// status --watch on a full disk, behind a blocked terminal, or emptied before any device came.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "cli/CliRun.h"
#include "settings/SettingsFile.h"

namespace quelvar::test {
namespace {

namespace fs = std::filesystem;

[[maybe_unused]] int Count(const std::string& text, const std::string& part) {
    int count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

TEST(CliLog, NoCommandWritesOverAFileItReads) {
    TempDir dir;
    ASSERT_EQ(RunCli(dir, "read site.am2 --sim-state device.state -q").code, 0);
    const std::string settings = ReadBytes(dir.File("site.am2"));
    const std::string state = ReadBytes(dir.File("device.state"));
#ifndef _WIN32
    fs::create_symlink("site.am2", dir.path / "link.html");
    fs::create_hard_link(dir.path / "site.am2", dir.path / "hard.html");
#endif
    const std::vector<std::string> refused = {
        "report site.am2 site.am2",
        "report site.am2 ./site.am2",
#ifndef _WIN32
        "report site.am2 link.html",
        "report site.am2 hard.html",
#endif
        "read device.state --sim-state device.state",
        "write site.am2 --sim-state site.am2",
        "diff site.am2 --sim-state ./site.am2",
        "status --watch --log device.state --sim-state device.state",
        "read site.am2 --password-file site.am2 --simulate",
    };
    for (const std::string& command : refused) {
        const CliRun run = RunCli(dir, command + " -q");
        EXPECT_EQ(run.code, 64) << command << "\n" << run.err;
        EXPECT_NE(run.err.find("is the same file as"), std::string::npos) << command << run.err;
        EXPECT_EQ(run.out, "") << command;
    }
    EXPECT_EQ(ReadBytes(dir.File("site.am2")), settings);
    EXPECT_EQ(ReadBytes(dir.File("device.state")), state);
    // A file of its own is still fine.
    EXPECT_EQ(RunCli(dir, "report site.am2 site.html").code, 0);
}

#ifndef _WIN32
// A log on a disk that fills up after its header and some rows: a tmpfs of 8 KiB where this
// test may mount one (in a mount namespace of its own), else a file size limit.
TEST(CliLog, AFullDiskEndsTheWatchWithExit3AndTheReason) {
    TempDir dir;
    const std::string watch =
        "QUELVAR_SIM_STATUS_MS=10 timeout 30 \"$CLI\" status --watch --simulate --log "
        "disk/log.csv >out.txt 2>err.txt; echo $? >code.txt";
    const bool mounted =
        RunScript(dir,
                  "command -v unshare >/dev/null && mkdir disk && export CLI && unshare -m sh "
                  "-c 'mount -t tmpfs -o size=8k tmpfs disk && " +
                      watch + " && cp disk/log.csv kept.csv' 2>/dev/null") == 0 &&
        fs::exists(dir.File("kept.csv"));
    if (!mounted) {
        fs::remove_all(dir.path / "disk");
        ASSERT_EQ(RunScript(dir, "mkdir disk && (trap '' XFSZ; ulimit -f 16 && " + watch +
                                     "); cp disk/log.csv kept.csv"),
                  0);
    }
    const std::string err = ReadBytes(dir.File("err.txt"));
    EXPECT_EQ(ReadBytes(dir.File("code.txt")), "3\n") << err;
    const std::string reason = mounted ? "No space left on device" : "File too large";
    EXPECT_NE(err.find("Unable to write the log disk/log.csv: " + reason), std::string::npos)
        << err;
    // The summary still comes, and the log holds whole rows up to the failure.
    EXPECT_NE(ReadBytes(dir.File("out.txt")).find("Watched for "), std::string::npos);
    const std::string log = ReadBytes(dir.File("kept.csv"));
    ASSERT_GT(log.size(), 1000u);
    EXPECT_EQ(log.rfind("time,code,name,text\r\n", 0), 0u);

    // A log that takes not even its header.
    const CliRun full = RunCli(dir, "status --watch --simulate --log /dev/full");
    EXPECT_EQ(full.code, 3);
    EXPECT_NE(full.err.find("Unable to write the log /dev/full: No space left on device"),
              std::string::npos)
        << full.err;
}

// Standard output is a pipe that is full and never read (a pager left open, Ctrl+S): the log
// still gets every round until the Ctrl+C, and the summary comes once the pipe is read.
TEST(CliLog, TheLogDoesNotWaitForABlockedTerminal) {
    TempDir dir;
    const int code =
        RunScript(dir,
                  "mkfifo out && exec 7<>out && head -c 65536 /dev/zero >out || exit 98; "
                  "QUELVAR_SIM_STATUS_MS=20 \"$CLI\" status --watch --simulate --log log.csv >out "
                  "2>err.txt & pid=$!; sleep 3; kill -INT $pid; sleep 0.5; "
                  "cat <&7 >drained.txt & reader=$!; wait $pid; code=$?; sleep 0.3; kill $reader; "
                  "exit $code");
    EXPECT_EQ(code, 0) << ReadBytes(dir.File("err.txt"));
    const std::string log = ReadBytes(dir.File("log.csv"));
    // A round each 20 ms for about 3 s; before, nothing at all was logged.
    EXPECT_GT(Count(log, ",200,signal,"), 80) << log.substr(0, 400);
    const std::string drained = ReadBytes(dir.File("drained.txt"));
    EXPECT_NE(drained.find("Watched for "), std::string::npos);
}

TEST(CliLog, AWatchEndsWithExit1WhenTheDeviceGoesAwayAndKeepsItsLog) {
    TempDir dir;
    const int code =
        RunScript(dir,
                  "QUELVAR_SIM_STATUS_MS=20 QUELVAR_SIM_UNPLUG_MS=1000 timeout 20 "
                  "\"$CLI\" status --watch --simulate --log log.csv >out.txt 2>err.txt");
    EXPECT_EQ(code, 1);
    EXPECT_EQ(ReadBytes(dir.File("err.txt")), "\nThe communicator went away\n");
    const std::string out = ReadBytes(dir.File("out.txt"));
    int rounds = 0;
    const std::size_t summary = out.rfind("Watched for ");
    ASSERT_NE(summary, std::string::npos) << out;
    ASSERT_EQ(std::sscanf(out.c_str() + out.find(" over ", summary), " over %d rounds", &rounds),
              1);
    EXPECT_GT(rounds, 10);
    EXPECT_EQ(Count(ReadBytes(dir.File("log.csv")), ",200,signal,"), rounds);
}

// On a terminal the status line is redrawn in place; an event line first clears it, and the
// status line comes back below the event.
TEST(CliLog, OnATerminalEventLinesClearTheStatusLineWhichComesBackBelowThem) {
    TempDir dir;
    const int code = RunScript(dir,
                               "command -v script >/dev/null || exit 77; QUELVAR_SIM_STATUS_MS=20 "
                               "timeout 2 script -qfec \"$CLI status --watch --simulate\" "
                               "/dev/null >pty.txt 2>/dev/null; exit 0");
    if (code == 77) {
        GTEST_SKIP() << "no script(1) for a terminal";
    }
    const std::string out = ReadBytes(dir.File("pty.txt"));
    int events = 0;
    for (std::size_t at = out.find("  Event: "); at != std::string::npos;
         at = out.find("  Event: ", at + 1)) {
        ++events;
        ASSERT_GE(at, 12u);
        EXPECT_EQ(out.substr(at - 12, 4), "\r\x1b[K") << "cleared first";
        const std::size_t end = out.find("\r\n", at);
        ASSERT_NE(end, std::string::npos);
        if (end + 3 < out.size()) {
            EXPECT_EQ(out.substr(end + 2, 1), "\r") << "then redrawn";
            EXPECT_EQ(out.substr(end + 11, 9), "  Signal ") << out.substr(end, 40);
        }
    }
    EXPECT_GE(events, 2) << out;
}

TEST(CliLog, AnOldLogIsKeptUntilThereIsSomethingToWatch) {
    TempDir dir;
    WriteBytes(dir.File("old.csv"), "time,code,name,text\r\nyesterday's rows\r\n");
    // No --simulate: no communicator is there to be found.
    const CliRun none = RunCli(dir, "status --watch --log old.csv --wait 0.2");
    EXPECT_EQ(none.code, 1) << none.err;
    EXPECT_EQ(ReadBytes(dir.File("old.csv")), "time,code,name,text\r\nyesterday's rows\r\n");

    fs::create_directory(dir.path / "folder.csv");
    const CliRun folder = RunCli(dir, "status --watch --simulate --log folder.csv");
    EXPECT_EQ(folder.code, 3);
    EXPECT_EQ(folder.err, "Unable to write the log folder.csv: it is a folder\n");
}
#endif

}  // namespace
}  // namespace quelvar::test

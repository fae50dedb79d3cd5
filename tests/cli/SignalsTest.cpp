// write stopped by signals at its stages, and what write says once it is done: a result line only
// when the simulated device's state holds it, and a verify that knows what a missing key does.

#include <gtest/gtest.h>

#include <filesystem>

#include "cli/CliRun.h"
#include "exchange/DevicePassword.h"
#include "settings/SettingsFile.h"
#include "sim/SimState.h"

namespace quelvar::test {
namespace {

namespace fs = std::filesystem;

[[maybe_unused]] settings::SettingsModel SiteSettings() {
    settings::SettingsModel model;
    model.Rule(settings::TableId::kPhoneNumbers).SetValue("T3", "+36703333333");
    model.AlarmGrid().SetCell(1, 5, "130");
    model.AlarmGrid().SetCell(9, 5, "T\xFBz");
    return model;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

#ifndef _WIN32
bool HasTemporaryFiles(const TempDir& dir) {
    for (const auto& entry : fs::recursive_directory_iterator(dir.path)) {
        if (entry.path().extension() == ".tmp") {
            return true;
        }
    }
    return false;
}

// A dropped remote session (SIGHUP) and SIGTERM stop write as Ctrl+C does: after the exchange in
// flight, with what the device holds, the simulated state kept, and 128 + the signal.
//
// The device falls silent a few commands into the stage, so write stays in it until the signal
// comes (for the silence limit at least) however late a loaded machine lets the script see the
// stage's line. Answering all along, a stage of the verify's read lasted under 0.2 s.
//
// The commands of this write (--all: everything): "PW"; the backup's read (16 parameters, 256 + 128
// blocks, "VSTR"); "GACK"; 16 parameters; 2 erases and 256 blocks; 1 erase and 128 blocks; the
// verify's read.
TEST(CliSignals, WriteStopsAtEachStageSaysWhatTheDeviceHoldsAndKeepsIt) {
    struct Case {
        const char* signal;
        const char* stage;  // the progress line the signal waits for
        int occurrence;     // 2: the read that verifies, after the one that takes the backup
        int answered;       // commands the device answers before it falls silent, in the stage
        int code;
        const char* line;
    };
    const std::vector<Case> cases = {
        {"HUP", "Reading settings", 1, 1 + 2, 129,
         "Interrupted while reading settings: nothing on it was changed\n"},
        {"HUP", "Writing settings", 1, 403 + 2, 129,
         "Interrupted while writing settings: it holds a partial configuration; run write "
         "again\n"},
        {"HUP", "Writing alarm table", 1, 419 + 5, 129,
         "Interrupted while writing the alarm table: it holds a partial configuration; run "
         "write again\n"},
        {"HUP", "Reading settings", 2, 806 + 2, 129,
         "Interrupted while reading settings: everything was written, not verified; run "
         "write again\n"},
        {"TERM", "Writing input table", 1, 677 + 5, 143,
         "Interrupted while writing the input table: it holds a partial configuration; run "
         "write again\n"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        ASSERT_TRUE(settings::SaveSettingsFile(SiteSettings(), 0, dir.File("site.am2")).ok);
        const int code = RunScript(
            dir, "QUELVAR_SIM_SILENT_AFTER=" + std::to_string(c.answered) +
                     " \"$CLI\" write site.am2 --all --sim-state device.state 2>err.txt & pid=$!; "
                     "for i in $(seq 400); do [ \"$(grep -c '" +
                     c.stage + "' err.txt)\" -ge " + std::to_string(c.occurrence) +
                     " ] && break; sleep 0.02; done; kill -" + c.signal + " $pid; wait $pid");
        EXPECT_EQ(code, c.code) << c.stage;
        const std::string err = ReadBytes(dir.File("err.txt"));
        const std::string after = std::string(c.stage) + "...\n";
        ASSERT_NE(err.rfind(after), std::string::npos) << err;
        EXPECT_EQ(err.substr(err.rfind(after) + after.size()), c.line) << c.stage;
        EXPECT_FALSE(HasTemporaryFiles(dir)) << c.stage;
        // What the device acknowledged before the signal is in its state file.
        if (c.occurrence == 1 && std::string(c.stage) == "Reading settings") {
            EXPECT_TRUE(fs::exists(dir.File("device.state")));
        } else if (std::string(c.stage) != "Writing settings") {
            EXPECT_EQ(SimParameter(dir.File("device.state"), "UPHN3"), "+36703333333") << c.stage;
        } else {
            EXPECT_TRUE(fs::exists(dir.File("device.state")));
        }
    }
}

// passwd 1111 against a device that falls silent after `answered` commands, hung up 0.5 s in;
// its exit code, its output in out.txt and err.txt.
int PasswdHungUp(const TempDir& dir, int answered) {
    return RunScript(dir, "QUELVAR_SIM_SILENT_AFTER=" + std::to_string(answered) +
                              " \"$CLI\" passwd --new-password 1111 --sim-state device.state "
                              ">out.txt 2>err.txt & pid=$!; sleep 0.5; kill -HUP $pid; wait $pid");
}

// read and passwd stop on a hang-up too, each saying what the device holds. The device falls
// silent after its first commands, so the signal lands while an answer is awaited.
TEST(CliSignals, ReadAndPasswdStopOnAHangUpAndSayWhatTheDeviceHolds) {
    TempDir dir;
    ASSERT_EQ(RunCli(dir, "read before.am2 --sim-state device.state -q").code, 0);
    EXPECT_EQ(RunScript(dir,
                        "QUELVAR_SIM_SILENT_AFTER=3 \"$CLI\" read site.am2 --sim-state "
                        "device.state >out.txt 2>err.txt & pid=$!; for i in $(seq 200); do "
                        "grep -q 'Reading' err.txt && break; sleep 0.02; done; "
                        "kill -HUP $pid; wait $pid"),
              129);
    const std::string err = ReadBytes(dir.File("err.txt"));
    const std::string line = err.substr(err.rfind('\n', err.size() - 2) + 1);
    EXPECT_EQ(line.rfind("Interrupted while reading ", 0), 0u) << err;
    EXPECT_TRUE(line.ends_with(": nothing was saved; the device is unchanged\n")) << err;
    EXPECT_EQ(ReadBytes(dir.File("out.txt")), "");
    EXPECT_FALSE(fs::exists(dir.File("site.am2")));
    EXPECT_FALSE(HasTemporaryFiles(dir));

    // The new password goes unanswered; the hang-up comes within the second passwd waits for it.
    EXPECT_EQ(PasswdHungUp(dir, 1), 129);
    EXPECT_EQ(ReadBytes(dir.File("err.txt")),
              "Interrupted: the new password was sent but not checked; try both\n");
    EXPECT_EQ(ReadBytes(dir.File("out.txt")), "");
    EXPECT_EQ(SimParameter(dir.File("device.state"), "PW"), "583920") << "a silent device";
}

// The device confirms the new password and falls silent, so the hang-up lands in the read-back:
// the signal's code, not the read-back's failure, and the password the device now holds.
TEST(CliSignals, PasswdStoppedInItsReadBackSaysTheDeviceHoldsTheNewPassword) {
    TempDir dir;
    EXPECT_EQ(PasswdHungUp(dir, 2), 129);
    EXPECT_EQ(ReadBytes(dir.File("err.txt")),
              "Interrupted: it holds the new password (confirmed, not read back)\n");
    EXPECT_EQ(ReadBytes(dir.File("out.txt")), "");
    EXPECT_EQ(SimParameter(dir.File("device.state"), "PW"),
              std::to_string(*exchange::EncodePassword("1111")));
}

// The state file is replaced by a folder while write runs, so the simulated device's state
// cannot be kept: write must not claim success first.
TEST(CliSignals, WriteClaimsNothingThatTheStateFileDoesNotHold) {
    TempDir dir;
    ASSERT_TRUE(settings::SaveSettingsFile(SiteSettings(), 0, dir.File("site.am2")).ok);
    ASSERT_EQ(RunCli(dir, "read old.am2 --sim-state device.state -q").code, 0);
    const int code = RunScript(
        dir,
        "QUELVAR_SIM_LATENCY_MS=5 \"$CLI\" write site.am2 --sim-state device.state >out.txt "
        "2>err.txt & pid=$!; for i in $(seq 400); do grep -q 'Writing' err.txt && break; "
        "sleep 0.02; done; rm device.state && mkdir device.state && touch device.state/x; "
        "wait $pid");
    EXPECT_EQ(code, 3);
    EXPECT_EQ(ReadBytes(dir.File("out.txt")), "");
    const std::string err = ReadBytes(dir.File("err.txt"));
    EXPECT_NE(err.find("could not be replaced"), std::string::npos) << err;
    EXPECT_EQ(err.find("could not be replaced"), err.rfind("could not be replaced")) << err;
    EXPECT_FALSE(HasTemporaryFiles(dir));
}
#endif

// A key missing from a forced file clears its setting; the verify expects exactly that.
TEST(CliSignals, ForcedWriteOfAFileLackingKeysVerifiesTheClearedSettings) {
    TempDir dir;
    ASSERT_EQ(RunCli(dir, "read device.am2 --sim-state device.state -q").code, 0);
    const std::string clean = ReadBytes(dir.File("device.am2"));
    ASSERT_NE(clean.find("UPHN1=+36301234567\r\n"), std::string::npos);
    WriteBytes(dir.File("lacking.am2"),
               Replaced(Replaced(clean, "UPHN1=+36301234567\r\n", ""), "SMODE=0\r\n", ""));
    const CliRun forced = RunCli(dir, "write lacking.am2 --force --sim-state device.state -q");
    EXPECT_EQ(forced.code, 0) << forced.out << forced.err;
    EXPECT_EQ(forced.out.rfind("Written and verified: wrote lacking.am2 to the communicator", 0),
              0u)
        << forced.out;
    EXPECT_EQ(SimParameter(dir.File("device.state"), "UPHN1"), "");
    // A missing mode loads as Standalone.
    EXPECT_EQ(SimParameter(dir.File("device.state"), "SMODE"), "Standalone");
}

}  // namespace
}  // namespace quelvar::test

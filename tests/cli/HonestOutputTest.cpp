// What the command line says must be what happened: a mode the file does not hold, output that
// did not reach its file, a save the reader would refuse, a password no one can enter, a key
// given twice, a backup of another device with a look-alike account ID.

#include <gtest/gtest.h>

#include <filesystem>

#include "cli/CliRun.h"
#include "sim/SimState.h"
#include "support/DataHome.h"

namespace quelvar::test {
namespace {

namespace fs = std::filesystem;

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class CliHonesty : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(RunCli(dir, "read site.am2 --sim-state device.state -q").code, 0);
        site = ReadBytes(dir.File("site.am2"));
    }
    // Changes one parameter of the simulated device between runs.
    void SetDeviceParameter(const std::string& key, const std::string& value) {
        sim::SimStateFileRead read = sim::ReadSimStateFile(dir.File("device.state"));
        ASSERT_TRUE(read.state) << read.error;
        read.state->parameters[key] = value;
        ASSERT_EQ(sim::WriteSimStateFile(dir.File("device.state"), *read.state), "");
    }

    TempDir dir;
    const ScopedDataHome dataHome{dir.File("data")};
    std::string site;
    const fs::path backups = dir.path / "data" / kBackupSubfolder;
};

// SMODE=2 and its like: diff names the finding and the difference, and a forced write does not
// claim the device holds a mode that was never sent.
TEST_F(CliHonesty, AnInvalidModeIsADifferenceInDiffAndInTheVerify) {
    for (const char* bad : {"2", "Transparent", "0x1"}) {
        WriteBytes(dir.File("mode.am2"), Replaced(site, "SMODE=0", std::string("SMODE=") + bad));
        const std::string finding = std::string("SMODE: \"") + bad + "\" is not 0 or 1";

        const CliRun device = RunCli(dir, "diff mode.am2 --sim-state device.state -q");
        EXPECT_EQ(device.code, 4) << bad << device.out;
        EXPECT_TRUE(Has(device.err, finding)) << device.err;
        EXPECT_TRUE(
            Has(device.out, std::string("SMODE: file \"") + bad + "\" device \"Standalone\""))
            << device.out;

        const CliRun files = RunCli(dir, "diff site.am2 mode.am2");
        EXPECT_EQ(files.code, 4) << bad << files.out;
        EXPECT_TRUE(Has(files.err, "mode.am2: " + finding)) << files.err;

        const CliRun forced = RunCli(dir, "write mode.am2 --force --sim-state device.state -q");
        EXPECT_EQ(forced.code, 4) << bad << forced.out << forced.err;
        EXPECT_TRUE(Has(forced.err, "Verify failed: 1 setting differs")) << forced.err;
        EXPECT_FALSE(Has(forced.out, "match the file")) << forced.out;
    }
}

TEST_F(CliHonesty, KeysGivenTwiceAreNotesInDiffAndWrite) {
    WriteBytes(dir.File("twice.am2"), site + "UPHN1=+36709999999\r\n");
    const std::string note = "Note: UPHN1: is given again on line ";
    const CliRun diff = RunCli(dir, "diff twice.am2 site.am2");
    EXPECT_EQ(diff.code, 0) << "the first value is read, and it is the same";
    EXPECT_TRUE(Has(diff.err, "twice.am2: " + note)) << diff.err;
    const CliRun write = RunCli(dir, "write twice.am2 --sim-state device.state -q");
    EXPECT_EQ(write.code, 0) << write.err;
    EXPECT_TRUE(Has(write.err, note)) << write.err;
}

// The file would grow past what the reader takes: the save refuses and the old file stays.
TEST_F(CliHonesty, AReadNeverLeavesAFileTheToolItselfRefuses) {
    std::string big = "; notes kept beside the settings\r\n[Other]\r\n";
    while (big.size() < 1044599) {
        big += "line=" + std::string(90, 'x') + "\r\n";
    }
    WriteBytes(dir.File("big.am2"), big);
    const CliRun read = RunCli(dir, "read big.am2 --sim-state device.state -q");
    EXPECT_EQ(read.code, 3) << read.out;
    EXPECT_TRUE(Has(read.err, "larger than the 1 MiB a settings file may be")) << read.err;
    EXPECT_EQ(ReadBytes(dir.File("big.am2")), big);
}

TEST_F(CliHonesty, APasswordNoFourDigitsGiveSaysToResetTheDevice) {
    for (const char* held : {"", "17", "10018", "-5"}) {
        SetDeviceParameter("PW", held);
        const CliRun run = RunCli(dir, "read out.am2 --password 0000 --sim-state device.state -q");
        EXPECT_EQ(run.code, 1) << held;
        EXPECT_TRUE(Has(run.err, "password cannot be entered here")) << held << run.err;
        EXPECT_FALSE(Has(run.err, "Wrong password")) << held;
    }
}

// Two devices whose account IDs differ only in a letter a file name cannot hold: restore writes
// the backup whose own ACCID is the device's, not the newest of the same name.
TEST_F(CliHonesty, RestoreTakesTheBackupHoldingTheDevicesOwnAccountId) {
    fs::create_directories(backups);
    const std::string mine =
        "\xC1"
        "1B2";  // Á1B2
    const std::string other =
        "\xC9"
        "1B2";  // É1B2
    const std::string older = (backups / "2026-01-05T10-00-00_-1B2_2.14.am2").string();
    const std::string newer = (backups / "2026-01-05T11-00-00_-1B2_2.14.am2").string();
    WriteBytes(older, Replaced(site, "ACCID=12AB", "ACCID=" + mine));
    WriteBytes(newer, Replaced(site, "ACCID=12AB", "ACCID=" + other));
    SetDeviceParameter("ACCID", mine);
    // Account IDs are hexadecimal digits: these need --force, as any backup with findings does.
    const CliRun restore = RunCli(dir, "restore --force --sim-state device.state");
    EXPECT_EQ(restore.code, 0) << restore.err;
    EXPECT_TRUE(Has(restore.out, "Restoring " + older)) << restore.out;
    sim::SimStateFileRead read = sim::ReadSimStateFile(dir.File("device.state"));
    ASSERT_TRUE(read.state);
    EXPECT_EQ(read.state->parameters["ACCID"], mine);
}

#ifndef _WIN32
// Output that did not reach standard output is an error of its own, never a success.
TEST_F(CliHonesty, OutputThatCannotBeWrittenIsAWriteErrorWithItsOwnCode) {
    // Enough backups that the listing is more than one buffer of output.
    fs::create_directories(backups);
    for (int i = 0; i < 300; ++i) {
        const std::string second = std::to_string(100 + i % 60).substr(1);
        const std::string minute = std::to_string(100 + i / 60).substr(1);
        WriteBytes(
            (backups / ("2026-01-05T10-" + minute + "-" + second + "_12AB_2.14.am2")).string(),
            site);
    }
    const struct {
        const char* command;
        const char* reason;
    } cases[] = {
        {"\"$CLI\" backups >/dev/full", "No space left on device"},
        {"\"$CLI\" diff site.am2 site.am2 >/dev/full", "No space left on device"},
        {"\"$CLI\" diff site.am2 site.am2 >&-", "Bad file descriptor"},
        {"\"$CLI\" status --sim-state device.state >/dev/full", "No space left on device"},
        {"\"$CLI\" status --sim-state device.state >&-", "Bad file descriptor"},
        {"\"$CLI\" read new.am2 --sim-state device.state -q >&-", "Bad file descriptor"},
    };
    for (const auto& c : cases) {
        const int code = RunScript(dir, std::string(c.command) + " 2>err.txt");
        EXPECT_EQ(code, 5) << c.command;
        EXPECT_EQ(ReadBytes(dir.File("err.txt")), std::string("write error: ") + c.reason + "\n")
            << c.command;
    }
    // A file the command opened never took the closed output's place.
    const std::string written = ReadBytes(dir.File("new.am2"));
    EXPECT_EQ(written.rfind("[GSM]", 0), 0u) << written.substr(0, 80);
    EXPECT_FALSE(Has(written, "Saved")) << "the output went into the settings file";
}
#endif

}  // namespace
}  // namespace quelvar::test

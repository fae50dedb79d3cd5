// The backup a write takes, the backups listing and restore, against the simulator with real
// files; each test with its own data folder.

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "cli/CliRun.h"
#include "settings/SettingsCheck.h"
#include "settings/SettingsFile.h"
#include "sim/SimStateFile.h"
#include "support/DataHome.h"

namespace quelvar::test {
namespace {

settings::SettingValues FileValues(const std::string& path) {
    const settings::SettingsReadResult read = settings::ReadSettingsFile(path);
    EXPECT_TRUE(read.content) << read.error;
    return read.content ? settings::ValuesOf(*read.content) : settings::SettingValues{};
}

class CliBackups : public ::testing::Test {
  protected:
    void SetUp() override {
        // What the device holds to begin with, and a file that changes some of it.
        ASSERT_EQ(RunCli(dir, "read before.am2 --sim-state device.state -q").code, 0);
        std::string site = ReadBytes(dir.File("before.am2"));
        const std::size_t at = site.find("UPHN1=");
        ASSERT_NE(at, std::string::npos);
        site.insert(at + 6, "+3612");
        WriteBytes(dir.File("site.am2"), site);
    }
    TempDir dir;
    const ScopedDataHome dataHome{dir.File("data")};
    const std::string backups = (dir.path / "data" / kBackupSubfolder).string();
};

TEST_F(CliBackups, WriteBacksUpWhatTheDeviceHeldAndRestoreBringsItBackVerified) {
    const CliRun write = RunCli(dir, "write site.am2 --sim-state device.state");
    ASSERT_EQ(write.code, 0) << write.err;
    EXPECT_NE(write.err.find("Read the communicator's settings in "), std::string::npos)
        << write.err;
    EXPECT_NE(write.err.find("Written and verified in "), std::string::npos) << write.err;
    EXPECT_NE(FileValues(dir.File("before.am2")), FileValues(dir.File("site.am2")));

    const CliRun listed = RunCli(dir, "backups");
    ASSERT_EQ(listed.code, 0) << listed.err;
    const std::vector<std::string> lines = Lines(listed.out);
    ASSERT_EQ(lines.size(), 1u) << listed.out;
    const std::string backup = lines[0].substr(0, lines[0].find('\t'));
    EXPECT_NE(write.err.find(backup), std::string::npos) << write.err;
    EXPECT_TRUE(backup.starts_with(backups)) << backup;
    EXPECT_TRUE(lines[0].ends_with("\t12AB\t2.14")) << lines[0];
    EXPECT_EQ(FileValues(backup), FileValues(dir.File("before.am2")));

    const CliRun restore = RunCli(dir, "restore --sim-state device.state -q");
    ASSERT_EQ(restore.code, 0) << restore.err;
    EXPECT_NE(restore.out.find("Restoring " + backup), std::string::npos) << restore.out;
    EXPECT_NE(restore.out.find("match the file"), std::string::npos) << restore.out;
    ASSERT_EQ(RunCli(dir, "read after.am2 --sim-state device.state -q").code, 0);
    EXPECT_EQ(FileValues(dir.File("after.am2")), FileValues(dir.File("before.am2")));

    // The restore kept what it overwrote too, newest first; the filter picks by account.
    const std::vector<std::string> two = Lines(RunCli(dir, "backups --account 12ab").out);
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(FileValues(two[0].substr(0, two[0].find('\t'))), FileValues(dir.File("site.am2")));
    const CliRun other = RunCli(dir, "backups --account BEEF");
    EXPECT_EQ(other.code, 0);
    EXPECT_EQ(other.out, "");

    // A backup named on the command line is the one written, not the account's newest (site),
    // and it too is preceded by a backup of its own.
    const std::string older = two[1].substr(0, two[1].find('\t'));
    const CliRun named = RunCli(dir, "restore \"" + older + "\" --sim-state device.state -q");
    ASSERT_EQ(named.code, 0) << named.err;
    ASSERT_EQ(RunCli(dir, "read again.am2 --sim-state device.state -q").code, 0);
    EXPECT_EQ(FileValues(dir.File("again.am2")), FileValues(dir.File("before.am2")));
    EXPECT_EQ(Lines(RunCli(dir, "backups").out).size(), 3u);
}

// After several writes to one device, restore without a file writes the newest backup of the
// account: the one its line names.
TEST_F(CliBackups, RestoreWithoutAFileWritesTheNewestBackupOfTheAccount) {
    std::string third = ReadBytes(dir.File("site.am2"));
    third.replace(third.find("UPHN1=+3612") + 6, 5, "+3613");
    WriteBytes(dir.File("third.am2"), third);
    // Each write backs up what the device held: before, then site.
    for (const char* file : {"site.am2", "third.am2"}) {
        const CliRun write =
            RunCli(dir, std::string("write ") + file + " --sim-state device.state -q");
        ASSERT_EQ(write.code, 0) << file << ": " << write.err;
    }
    const std::vector<std::string> lines = Lines(RunCli(dir, "backups").out);
    ASSERT_EQ(lines.size(), 2u);
    const std::string newest = lines[0].substr(0, lines[0].find('\t'));
    ASSERT_EQ(FileValues(newest), FileValues(dir.File("site.am2")));

    const CliRun restore = RunCli(dir, "restore --sim-state device.state -q");
    ASSERT_EQ(restore.code, 0) << restore.err;
    EXPECT_TRUE(restore.out.starts_with("Restoring " + newest + " (")) << restore.out;
    ASSERT_EQ(RunCli(dir, "read after.am2 --sim-state device.state -q").code, 0);
    EXPECT_EQ(FileValues(dir.File("after.am2")), FileValues(dir.File("site.am2")));
}

TEST_F(CliBackups, ABackupThatCannotBeWrittenStopsTheWriteUnlessNoBackup) {
    // The read before made the data folder (for the site register): a file takes its place.
    std::filesystem::remove_all(dir.File("data"));
    WriteBytes(dir.File("data"), "a file where the data folder belongs");
    const std::string held = SimParameter(dir.File("device.state"), "UPHN1");
    for (const char* command : {"write site.am2", "restore site.am2"}) {
        const CliRun refused = RunCli(dir, std::string(command) + " --sim-state device.state -q");
        EXPECT_EQ(refused.code, 3) << command;
        EXPECT_NE(refused.err.find("Nothing was written: no backup ("), std::string::npos)
            << refused.err;
        EXPECT_NE(refused.err.find("; --no-backup writes without one"), std::string::npos)
            << refused.err;
        EXPECT_EQ(SimParameter(dir.File("device.state"), "UPHN1"), held);
    }
    const CliRun forced = RunCli(dir, "write site.am2 --no-backup --sim-state device.state -q");
    EXPECT_EQ(forced.code, 0) << forced.err;
    EXPECT_EQ(SimParameter(dir.File("device.state"), "UPHN1"), "+3612" + held);
}

TEST_F(CliBackups, RestoreWithoutABackupOfTheAccountWritesNothing) {
    const CliRun restore = RunCli(dir, "restore --sim-state device.state -q");
    EXPECT_EQ(restore.code, 3);
    EXPECT_NE(restore.err.find("No backup of account ID 12AB in "), std::string::npos)
        << restore.err;
    for (const char* misuse : {"read a.am2 --no-backup", "write a.am2 --account 12AB",
                               "restore a.am2 b.am2", "backups --account"}) {
        EXPECT_EQ(RunCli(dir, misuse).code, 64) << misuse;
    }
}

}  // namespace
}  // namespace quelvar::test

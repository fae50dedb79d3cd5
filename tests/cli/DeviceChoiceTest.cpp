// Several communicators attached, as processes against the simulator: list names them, a device
// command refuses to take one by chance, and --device chooses by number or by path.

#include <gtest/gtest.h>

#include "cli/CliRun.h"
#include "register/SqliteRegister.h"
#include "support/DataHome.h"

namespace quelvar::test {
namespace {

class CliDevices : public ::testing::Test {
  protected:
    TempDir dir;
    const ScopedDataHome dataHome{dir.File("data")};
};

TEST_F(CliDevices, ListNamesEveryCommunicatorAsLinesAndAsJson) {
    const CliRun lines = RunCli(dir, "list --simulate 3");
    ASSERT_EQ(lines.code, 0) << lines.err;
    const std::vector<std::string> listed = Lines(lines.out);
    ASSERT_EQ(listed.size(), 3u) << lines.out;
    EXPECT_EQ(listed[1],
              "2\tport #2\tsim:communicator#2\tfirmware 2.14\tno password\taccount 12AB");

    const CliRun json = RunCli(dir, "list --simulate 2 --json");
    ASSERT_EQ(json.code, 0) << json.err;
    EXPECT_NE(
        json.out.find("{\"number\": 2, \"port\": \"#2\", \"path\": \"sim:communicator#2\", "
                      "\"firmware\": \"2.14\", \"passwordSet\": false, \"account\": \"12AB\"}"),
        std::string::npos)
        << json.out;
    EXPECT_TRUE(json.out.starts_with("[\n {") && json.out.ends_with("}\n]\n")) << json.out;
}

TEST_F(CliDevices, SeveralAttachedAreRefusedUntilOneIsChosen) {
    const CliRun refused = RunCli(dir, "read site.am2 --simulate 2");
    EXPECT_EQ(refused.code, 64);
    EXPECT_EQ(refused.err,
              "2 communicators are attached; choose one with --device (a number or a path):\n"
              "  1  port #1  sim:communicator#1\n"
              "  2  port #2  sim:communicator#2\n");
    EXPECT_FALSE(std::filesystem::exists(dir.File("site.am2")));

    const CliRun missing = RunCli(dir, "status --simulate 2 --device 3");
    EXPECT_EQ(missing.code, 1);
    EXPECT_TRUE(missing.err.starts_with("No communicator number 3 is attached:\n")) << missing.err;

    EXPECT_EQ(RunCli(dir, "status --simulate 2 --device sim:communicator#2 --wait 5").code, 0);
    EXPECT_EQ(RunCli(dir, "status --simulate 2 --sim-state s.state").code, 64);
    EXPECT_EQ(RunCli(dir, "status --simulate 0").code, 64);
}

TEST_F(CliDevices, TheChosenDeviceIsTheOneReadAndRecorded) {
    const CliRun read = RunCli(dir, "read site.am2 --simulate 3 --device 2 -q");
    ASSERT_EQ(read.code, 0) << read.err;
    const std::filesystem::path registerFile =
        (dir.path / "data" / kBackupSubfolder).parent_path() / "register.sqlite";
    const std::vector<sites::Revision> history =
        sites::SqliteRegister(registerFile).History("12AB");
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].usbPath, "sim:communicator#2");
}

}  // namespace
}  // namespace quelvar::test

namespace quelvar::test {
namespace {

// write sends only what differs; --all everything, as before.
TEST(CliChangesWrite, ADeviceHoldingTheFileGetsNothingAndOneChangeIsOneSetting) {
    TempDir dir;
    const ScopedDataHome dataHome{dir.File("data")};
    ASSERT_EQ(RunCli(dir, "read site.am2 --sim-state device.state -q").code, 0);
    const CliRun same = RunCli(dir, "write site.am2 --sim-state device.state -q");
    ASSERT_EQ(same.code, 0) << same.err;
    EXPECT_EQ(same.out,
              "The device already holds site.am2 (verified: all 467 settings match the "
              "file; nothing was written)\n");

    std::string file = ReadBytes(dir.File("site.am2"));
    file.insert(file.find("UPHN2=") + 6, "+3622");
    WriteBytes(dir.File("changed.am2"), file);
    const CliRun one = RunCli(dir, "write changed.am2 --sim-state device.state -q");
    ASSERT_EQ(one.code, 0) << one.err;
    EXPECT_TRUE(
        one.out.starts_with("Written and verified: wrote changed.am2 to the communicator "
                            "(only what differed: 1 setting) and read it back; all 467"))
        << one.out;
    const CliRun all = RunCli(dir, "write site.am2 --all --sim-state device.state -q");
    ASSERT_EQ(all.code, 0) << all.err;
    EXPECT_TRUE(
        all.out.starts_with("Written and verified: wrote site.am2 to the communicator and "
                            "read it back"))
        << all.out;
}

}  // namespace
}  // namespace quelvar::test

// The provisioning line as a process against several simulated communicators: each gets its
// row, is recorded in the record file and the site register, a bad values file starts nothing,
// and Ctrl+C ends the line saying what was done.

#include <gtest/gtest.h>

#include "cli/CliRun.h"
#include "register/SqliteRegister.h"
#include "support/DataHome.h"

namespace quelvar::test {
namespace {

class CliProvision : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(RunCli(dir, "read template.am2 --sim-state one.state -q").code, 0);
    }
    std::filesystem::path RegisterFile() const {
        return (dir.path / "data" / kBackupSubfolder).parent_path() / "register.sqlite";
    }

    TempDir dir;
    const ScopedDataHome dataHome{dir.File("data")};
};

TEST_F(CliProvision, EachOfFourDevicesGetsItsOwnRowAndIsRecorded) {
    WriteBytes(dir.File("values.csv"),
               "ACCID,UPHN1\r\n1A01,+36201111111\r\n1A02,+36202222222\r\n"
               "1A03,+36203333333\r\n\"1A04\",+36204444444\r\n");
    const CliRun run =
        RunCli(dir, "provision template.am2 --values values.csv --record record.csv --simulate 4");
    ASSERT_EQ(run.code, 0) << run.err;
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 4u) << run.out;
    for (const std::string& line : lines) {
        EXPECT_TRUE(line.starts_with("port #") && line.ends_with(" s: unplug it")) << line;
        EXPECT_NE(line.find(" written and verified in "), std::string::npos) << line;
    }
    EXPECT_TRUE(run.err.ends_with("4 communicators verified, 0 not\n")) << run.err;

    const std::vector<std::string> record = Lines(ReadBytes(dir.File("record.csv")));
    ASSERT_EQ(record.size(), 5u);
    EXPECT_EQ(record[0].rfind("time,port,usb path,firmware,account before,account after,", 0), 0u);
    // Each device holds its row: the register's revision of each account names one device.
    sites::SqliteRegister reg(RegisterFile());
    std::set<std::string> devices;
    for (const char* account : {"1A01", "1A02", "1A03", "1A04"}) {
        const std::vector<sites::Revision> history = reg.History(account);
        ASSERT_EQ(history.size(), 1u) << account;
        EXPECT_EQ(history[0].outcome, "verified");
        devices.insert(history[0].usbPath);
    }
    EXPECT_EQ(devices.size(), 4u);
    EXPECT_NE(ReadBytes(dir.File("record.csv"))
                  .find(",12AB,1A02,ACCID=1A02; UPHN1=+36202222222,2,"
                        "verified,"),
              std::string::npos);
}

TEST_F(CliProvision, ANewPasswordIsSetOnEachDeviceOnceItIsVerifiedAndRecordedApart) {
    WriteBytes(dir.File("new.txt"), "4321\n");
    const CliRun run =
        RunCli(dir,
               "provision template.am2 --count 2 --record record.csv --new-password-file new.txt "
               "--simulate 2");
    ASSERT_EQ(run.code, 0) << run.err;
    for (const std::string& line : Lines(run.out)) {
        // The devices held the template already (it was read from one): only the password.
        EXPECT_NE(line.find("12AB already held the template; password changed in "),
                  std::string::npos)
            << line;
    }
    sites::SqliteRegister reg(RegisterFile());
    const std::vector<sites::Revision> history = reg.History("12AB");
    ASSERT_EQ(history.size(), 5u);  // the template's read, then a write and a password each
    int passwordChanges = 0;
    for (const sites::Revision& revision : history) {
        passwordChanges += revision.kind == sites::RevisionKind::kPasswordChange;
    }
    EXPECT_EQ(passwordChanges, 2);
    EXPECT_EQ(ReadBytes(dir.File("record.csv")).find("4321"), std::string::npos);

    // Not four digits: nothing starts.
    WriteBytes(dir.File("bad.txt"), "43\n");
    const CliRun bad =
        RunCli(dir, "provision template.am2 --new-password-file bad.txt --simulate 2");
    EXPECT_NE(bad.code, 0);
    EXPECT_NE(bad.err.find("does not hold four digits"), std::string::npos) << bad.err;
}

TEST_F(CliProvision, ABadValuesFileIsRefusedBeforeAnyDeviceIsTouched) {
    WriteBytes(dir.File("bad.csv"), "ACCID,UPHN1\n1A01,+3620\n1A0G,+3620x\n");
    const CliRun bad = RunCli(dir, "provision template.am2 --values bad.csv --simulate 2");
    EXPECT_EQ(bad.code, 3);
    EXPECT_EQ(bad.err,
              "bad.csv: row 3, ACCID: \"1A0G\" holds characters other than hexadecimal digits "
              "(0-9, A-F)\nbad.csv: row 3, UPHN1: \"+3620x\" holds characters other than + and "
              "digits\nNothing was started: correct bad.csv\n");
    EXPECT_FALSE(std::filesystem::exists(dir.path / "data" / kBackupSubfolder));
    WriteBytes(dir.File("unknown.csv"), "ACCID,NOSUCH\n1A01,1\n");
    const CliRun unknown = RunCli(dir, "provision template.am2 --values unknown.csv --simulate 2");
    EXPECT_EQ(unknown.code, 3);
    EXPECT_EQ(unknown.err, "unknown.csv: \"NOSUCH\" is not the key of a setting\n");
}

#ifndef _WIN32
TEST_F(CliProvision, CtrlCEndsTheLineAfterTheDevicesUnderWay) {
    // Slow devices, so that the signal comes while they are being written.
    const int code =
        RunScript(dir,
                  "QUELVAR_SIM_LATENCY_MS=3 \"$CLI\" provision template.am2 --simulate 2 --count 5 "
                  ">out.txt 2>err.txt & pid=$!; sleep 0.8; kill -INT $pid; wait $pid");
    EXPECT_EQ(code, 130);
    const std::string err = ReadBytes(dir.File("err.txt"));
    EXPECT_NE(err.find("Interrupted: 0 communicators verified, 2 not\n"), std::string::npos) << err;
    // Each device under way said how it ended.
    for (const std::string& line : Lines(ReadBytes(dir.File("out.txt")))) {
        EXPECT_TRUE(line.starts_with("port #")) << line;
        EXPECT_NE(line.find(": Interrupted while "), std::string::npos) << line;
    }
}
#endif

}  // namespace
}  // namespace quelvar::test

// The site register from the command line, as processes against the simulator with real files:
// what each device command records, the register's own commands, restore's chain across an
// account change, and a write killed at many points.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>

#include "cli/CliRun.h"
#include "register/SqliteRegister.h"
#include "settings/SettingsFile.h"
#include "sim/SimState.h"
#include "sim/SimStateFile.h"
#include "support/DataHome.h"

namespace quelvar::test {
namespace {

namespace fs = std::filesystem;

std::string WithValue(std::string file, const std::string& key, const std::string& value) {
    const std::size_t at = file.find("\n" + key + "=");
    const std::size_t end = file.find("\r\n", at + 1);
    return file.replace(at + key.size() + 2, end - at - key.size() - 2, value);
}

class CliRegister : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(RunCli(dir, "read before.am2 --sim-state device.state -q").code, 0);
        before = ReadBytes(dir.File("before.am2"));
    }
    sites::SqliteRegister Register() const { return sites::SqliteRegister(registerFile); }

    TempDir dir;
    const ScopedDataHome dataHome{dir.File("data")};
    const std::string registerFile =
        ((dir.path / "data" / kBackupSubfolder).parent_path() / "register.sqlite").string();
    std::string before;
};

TEST_F(CliRegister, ReadWriteAndPasswdEachAddTheirRevisionWithTheChangesNamed) {
    WriteBytes(dir.File("site.am2"), WithValue(before, "UPHN1", "+36709876543"));
    ASSERT_EQ(RunCli(dir, "write site.am2 --sim-state device.state -q").code, 0);
    ASSERT_EQ(RunCli(dir, "passwd --new-password 8097 --sim-state device.state -q").code, 0);

    const CliRun history = RunCli(dir, "history 12AB --changes");
    ASSERT_EQ(history.code, 0) << history.err;
    const std::vector<std::string> lines = Lines(history.out);
    ASSERT_EQ(lines.size(), 4u) << history.out;
    EXPECT_NE(lines[0].find("  password change  password changed  password changed"),
              std::string::npos)
        << lines[0];
    EXPECT_NE(lines[1].find("  write  T1: +36301234567 -> +36709876543  verified"),
              std::string::npos)
        << lines[1];
    EXPECT_EQ(lines[2], "    Phone numbers, T1: \"+36301234567\" -> \"+36709876543\"");
    EXPECT_NE(lines[3].find("  read  first record  read"), std::string::npos) << lines[3];
    // The password is never in the register.
    EXPECT_EQ((ReadBytes(registerFile) + ReadBytes(registerFile + "-wal")).find("8097"),
              std::string::npos);

    // The write's revision names the backup it took, which holds what the device held.
    const std::vector<sites::Revision> revisions = Register().History("12AB");
    ASSERT_EQ(revisions.size(), 3u);
    EXPECT_EQ(ReadBytes(revisions[1].backupPath), before);
    EXPECT_EQ(revisions[1].program, "quelvar-gsm-cli " QUELVAR_TEST_VERSION);
}

TEST_F(CliRegister, CustomersAreEditedListedFilteredAndExported) {
    // "Kovács Bt." typed in UTF-8
    const CliRun edit = RunCli(dir,
                               "site 12AB --name \"Kov\xC3\xA1"
                               "cs Bt.\" --address Budapest --note =1+1");
    ASSERT_EQ(edit.code, 0) << edit.err;
    EXPECT_NE(edit.out.find("Customer: Kov\xC3\xA1"
                            "cs Bt.\n"),
              std::string::npos)
        << edit.out;
    RunCli(dir, "site 99FF --name Other");

    const CliRun all = RunCli(dir, "sites");
    ASSERT_EQ(Lines(all.out).size(), 2u) << all.out;
    const CliRun found = RunCli(dir,
                                "sites KOV\xC3\x81"
                                "CS");
    ASSERT_EQ(Lines(found.out).size(), 1u) << found.out;
    EXPECT_TRUE(
        found.out.starts_with("12AB\tKov\xC3\xA1"
                              "cs Bt.\tBudapest\t"))
        << found.out;
    EXPECT_NE(found.out.find("\t2.14\t1 revisions\n"), std::string::npos) << found.out;
    const CliRun none = RunCli(dir, "sites nowhere");
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(none.err, "No site holds \"nowhere\"\n");

    const CliRun exported = RunCli(dir, "register export sites.csv");
    ASSERT_EQ(exported.code, 0) << exported.err;
    const std::string csv = ReadBytes(dir.File("sites.csv"));
    EXPECT_NE(csv.find("12AB,Kov\xC3\xA1"
                       "cs Bt.,Budapest,,'=1+1,"),
              std::string::npos)
        << csv;
    EXPECT_NE(csv.find("99FF,Other,"), std::string::npos) << csv;
    EXPECT_EQ(RunCli(dir, "register import x.csv").code, 64);
    EXPECT_EQ(RunCli(dir, "history 77EE").code, 3);
}

TEST_F(CliRegister, RestoreFollowsTheRegisterBackAcrossAWriteThatChangedTheAccountId) {
    WriteBytes(dir.File("site.am2"), WithValue(before, "ACCID", "34CD"));
    ASSERT_EQ(RunCli(dir, "write site.am2 --sim-state device.state -q").code, 0);
    ASSERT_EQ(SimParameter(dir.File("device.state"), "ACCID"), "34CD");

    const CliRun restore = RunCli(dir, "restore --sim-state device.state -q");
    ASSERT_EQ(restore.code, 0) << restore.err;
    EXPECT_NE(restore.out.find("_12AB_"), std::string::npos) << restore.out;
    EXPECT_EQ(SimParameter(dir.File("device.state"), "ACCID"), "12AB");
    const std::vector<sites::Revision> history = Register().History("12AB");
    ASSERT_FALSE(history.empty());
    EXPECT_EQ(history[0].kind, sites::RevisionKind::kRestore);
    EXPECT_EQ(history[0].summary,
              "\xDCgyf\xE9lk\xF3"
              "d: 34CD -> 12AB");  // Ügyfélkód
}

TEST_F(CliRegister, ARegisterThatCannotBeUsedIsSaidOnceAndTheWriteGoesOn) {
    fs::remove(registerFile);
    fs::create_directory(registerFile);  // a folder where the file belongs
    WriteBytes(dir.File("site.am2"), WithValue(before, "UPHN2", "+3620"));
    const CliRun write = RunCli(dir, "write site.am2 --sim-state device.state -q");
    EXPECT_EQ(write.code, 0) << write.err;
    EXPECT_EQ(SimParameter(dir.File("device.state"), "UPHN2"), "+3620");
    const std::string said = "The site register " + registerFile + " cannot be used (";
    ASSERT_NE(write.err.find(said), std::string::npos) << write.err;
    EXPECT_EQ(write.err.find(said), write.err.rfind(said)) << write.err;
    EXPECT_NE(write.err.find("; going on without it\n"), std::string::npos) << write.err;
}

#ifndef _WIN32
int IntegrityCheck(const std::string& file, std::string& result) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* statement = nullptr;
    const int code = sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &statement, nullptr);
    if (code == SQLITE_OK && sqlite3_step(statement) == SQLITE_ROW) {
        result = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return code;
}

// Killed (SIGKILL: no chance to tidy up) from the start of a write to past its end, the register
// stays whole and every revision it lists opens.
TEST_F(CliRegister, AWriteKilledAtManyPointsLeavesTheRegisterConsistent) {
    WriteBytes(dir.File("site.am2"), WithValue(before, "UPHN1", "+36111"));
    const CliRun timed = RunCli(dir, "write site.am2 --sim-state device.state -q");
    ASSERT_EQ(timed.code, 0) << timed.err;
    const long long span = timed.took.count();
    for (int step = 1; step <= 10; ++step) {
        const std::string delay = std::to_string(span * step / 10 / 1000.0);
        RunScript(dir,
                  "\"$CLI\" write site.am2 --sim-state device.state -q 2>/dev/null & "
                  "pid=$!; sleep " +
                      delay + "; kill -KILL $pid; wait $pid");
        std::string result;
        ASSERT_EQ(IntegrityCheck(registerFile, result), SQLITE_OK) << delay;
        EXPECT_EQ(result, "ok") << delay;
        sites::SqliteRegister reg(registerFile);
        for (const sites::Revision& revision : reg.History("12AB")) {
            if (revision.hasSettings) {
                const std::optional<std::string> bytes = reg.Settings(revision.id);
                ASSERT_TRUE(bytes) << delay;
                EXPECT_TRUE(settings::ParseSettingsFile(*bytes, "revision").content) << delay;
            }
        }
    }
}
#endif

}  // namespace
}  // namespace quelvar::test

// What the command line takes from outside: password files, --wait, and values with quotes and
// backslashes in the lines of diff.

#include <gtest/gtest.h>

#include <filesystem>

#include "cli/CliRun.h"
#include "settings/SettingsFile.h"

namespace quelvar::test {
namespace {

namespace fs = std::filesystem;

#ifndef _WIN32
TEST(CliInput, PasswordFilesAreReadBoundedAndChecked) {
    TempDir dir;
    ASSERT_EQ(RunCli(dir, "passwd --new-password 4321 --sim-state device.state -q").code, 0);
    const auto ownerOnly = fs::perms::owner_read | fs::perms::owner_write;
    auto login = [&](const std::string& bytes,
                     fs::perms perms = fs::perms::owner_read | fs::perms::owner_write) {
        WriteBytes(dir.File("pw.txt"), bytes);
        fs::permissions(dir.File("pw.txt"), perms);
        return RunCli(dir, "read out.am2 --password-file pw.txt --sim-state device.state -q");
    };
    // Line ends of other systems, a byte-order mark, blanks: all log in, without a word.
    for (const std::string& bytes : {std::string("4321\r\n"), std::string("4321\r0000\r"),
                                     std::string("\xEF\xBB\xBF"
                                                 "4321\n"),
                                     std::string(" 4321 "), std::string("4321")}) {
        const CliRun run = login(bytes);
        EXPECT_EQ(run.code, 0) << bytes << run.err;
        EXPECT_EQ(run.err, "") << bytes;
    }
    // Others may read it: it still logs in, with one line of warning.
    const CliRun shared = login("4321\n", ownerOnly | fs::perms::group_read);
    EXPECT_EQ(shared.code, 0);
    EXPECT_EQ(shared.err,
              "Warning: other users may read the password file pw.txt; make it readable by its "
              "owner alone (chmod 600)\n");
    // 64 bytes of line are the most; the 65th refuses it as a bad file.
    EXPECT_EQ(login("4321" + std::string(60, ' ') + "\n").code, 0);
    EXPECT_EQ(login("4321" + std::string(60, ' ') + "\r\n").code, 0) << "the CR ends the line";
    const CliRun longer = login("4321" + std::string(61, ' ') + "\n");
    EXPECT_EQ(longer.code, 3);
    EXPECT_EQ(longer.err, "The first line of the password file pw.txt is longer than 64 bytes\n");
    // The byte-order mark is no part of the line, nor does it hide the line's 65th byte.
    const std::string bom = "\xEF\xBB\xBF";
    EXPECT_EQ(login(bom + "4321" + std::string(60, ' ') + "\n").code, 0);
    EXPECT_EQ(login(bom + "4321" + std::string(61, ' ') + "\n").code, 3);
    // An endless file is not read to its end.
    const CliRun zero = RunCli(dir, "read out.am2 --password-file /dev/zero --simulate -q");
    EXPECT_EQ(zero.code, 3);
    EXPECT_LT(zero.took.count(), 5000);
    const CliRun missing = RunCli(dir, "read out.am2 --password-file none.txt --simulate -q");
    EXPECT_EQ(missing.code, 3);
    EXPECT_EQ(missing.err, "Unable to read the password from none.txt\n");
    EXPECT_EQ(login("12345\n").code, 64);
}
#endif

TEST(CliInput, WaitTakesDecimalSecondsOnly) {
    TempDir dir;
    for (const char* wait : {"0x10", "1e1", "inf", " 1", ".", "1.2.3", "-1", ""}) {
        const CliRun run = RunCli(dir, std::string("status --simulate --wait=\"") + wait + "\"");
        EXPECT_EQ(run.code, 64) << wait;
        EXPECT_NE(run.err.find("--wait takes a number of seconds"), std::string::npos) << wait;
    }
    for (const char* wait : {"2.5", "0"}) {
        const CliRun run = RunCli(dir, std::string("status --simulate --wait ") + wait);
        EXPECT_EQ(run.code, 0) << wait << ": " << run.err;
    }
}

TEST(CliInput, DiffLinesEscapeQuotesAndBackslashes) {
    TempDir dir;
    settings::SettingsModel model;
    model.Rule(settings::TableId::kPhoneNumbers).SetValue("T1", "a\" device \"b");
    model.Rule(settings::TableId::kPhoneNumbers).SetValue("T2", "c:\\x1b");
    ASSERT_TRUE(settings::SaveSettingsFile(model, 0, dir.File("a.am2")).ok);
    settings::SettingsModel other;
    ASSERT_TRUE(settings::SaveSettingsFile(other, 0, dir.File("b.am2")).ok);
    const std::string lacking = ReadBytes(dir.File("b.am2"));
    const std::size_t at = lacking.find("UPHN3=");
    ASSERT_NE(at, std::string::npos);
    WriteBytes(dir.File("nouphn3.am2"), lacking.substr(0, at) + lacking.substr(at + 8));

    const CliRun run = RunCli(dir, "diff a.am2 nouphn3.am2");
    EXPECT_EQ(run.code, 4) << run.err;
    EXPECT_EQ(run.out,
              "UPHN1: a.am2 \"a\\\" device \\\"b\" nouphn3.am2 \"\"\n"
              "UPHN2: a.am2 \"c:\\\\x1b\" nouphn3.am2 \"\"\n"
              "UPHN3: a.am2 \"\", missing from nouphn3.am2\n"
              "3 of 467 settings differ\n");
    const CliRun one = RunCli(dir, "diff b.am2 nouphn3.am2");
    EXPECT_EQ(one.code, 4);
    EXPECT_EQ(one.out,
              "UPHN3: b.am2 \"\", missing from nouphn3.am2\n"
              "1 of 467 settings differ\n");
}

}  // namespace
}  // namespace quelvar::test

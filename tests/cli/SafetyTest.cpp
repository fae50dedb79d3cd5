// quelvar-gsm-cli with the files and moments that used to wipe a device or lose a write: files of
// other editors, files with findings, interruptions, two runs on one simulated device.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cli/CliRun.h"
#include "settings/Cp1250.h"
#include "settings/SettingsFile.h"
#include "sim/SimState.h"

namespace quelvar::test {
namespace {

namespace fs = std::filesystem;
using settings::SettingsModel;

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

std::string Utf16Le(const std::string& cp1250) {
    std::string bytes = "\xFF\xFE";
    for (const char32_t c : settings::Cp1250ToCodePoints(cp1250)) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

// A model whose every kind of text is there: Windows-1250 letters in keys and values.
SettingsModel SiteSettings() {
    SettingsModel model;
    model.Rule(settings::TableId::kSimCard)
        .SetValue(
            "PIN k\xF3"
            "d",
            "4321");
    model.Rule(settings::TableId::kPhoneNumbers).SetValue("T3", "+36703333333");
    model.AlarmGrid().SetCell(1, 5, "130");
    model.AlarmGrid().SetCell(2, 5, "E");
    model.AlarmGrid().SetCell(9, 5, "T\xFBz a f\xF6ldszinten");  // Tűz a földszinten
    model.AlarmGrid().SetCell(6, 5, "X");
    model.InputGrid().SetCell(5, 2, "Z1 vissza\xE1llt");
    model.InputGrid().SetCell(8, 2, "X");
    return model;
}

TEST(CliSafety, FilesOfOtherEditorsApplyExactlyWhatTheyHold) {
    TempDir dir;
    ASSERT_TRUE(settings::SaveSettingsFile(SiteSettings(), 1, dir.File("site.am2")).ok);
    const std::string clean = ReadBytes(dir.File("site.am2"));
    const std::vector<std::pair<std::string, std::string>> variants = {
        {"cr.am2", Replaced(clean, "\r\n", "\r")},
        {"lf.am2", Replaced(clean, "\r\n", "\n")},
        {"utf8.am2", settings::Cp1250ToUtf8(clean)},
        {"bom.am2", "\xEF\xBB\xBF" + settings::Cp1250ToUtf8(clean)},
        {"utf16.am2", Utf16Le(clean)},
    };
    for (const auto& [name, bytes] : variants) {
        WriteBytes(dir.File(name), bytes);
        const std::string state = name + ".state";
        // The verify compares the device with every setting the file holds.
        const CliRun write = RunCli(dir, "write " + name + " --sim-state " + state + " -q");
        EXPECT_EQ(write.code, 0) << name << ": " << write.out << write.err;
        EXPECT_EQ(write.err, "") << name;
        EXPECT_EQ(SimParameter(dir.File(state), "UPHN3"), "+36703333333") << name;
        ASSERT_EQ(RunCli(dir, "read back.am2 --sim-state " + state + " -q").code, 0);
        EXPECT_EQ(ReadBytes(dir.File("back.am2")), clean) << name;
    }
}

TEST(CliSafety, NoSettingsFileAndFilesWithFindingsSendNothingUnlessForced) {
    TempDir dir;
    ASSERT_EQ(RunCli(dir, "read factory.am2 --sim-state device.state -q").code, 0);
    const std::string state = ReadBytes(dir.File("device.state"));
    const std::string clean = ReadBytes(dir.File("factory.am2"));

    struct Case {
        std::string bytes;
        std::string line;  // on standard error
    };
    const std::vector<Case> refused = {
        {"[GSM]\r\n", "its [GSM] section holds no setting"},
        {"\x8f\x01zz\r\n[GSM]\r\n\x90\xEE=\x01\r\n[GSM]\r\nUPHN1=1", "holds no setting"},
        {Replaced(clean, "UPHN3=\r\n", ""), "UPHN3: missing from the file\n"},
        {Replaced(clean, "extev1Code=130",
                  "extev1Code=1\x1b"
                  "3"),
         "extev1Code: \"1\\x1b3\" is not 3 characters of * and digits\n"},
        {Replaced(clean, "IN1S=1 sec", "IN1S=3 sec"),
         "IN1S: \"3 sec\" is not one of 0.1 sec, 0.5 sec, 1 sec"},
        {Replaced(clean, "extev2E/R=R", "extev2E/R=Q"), "extev2E/R: \"Q\" is not E, R or empty\n"},
        {Replaced(clean, "ACCID=12AB", "ACCID=zzzz"),
         "ACCID: \"zzzz\" holds characters other than hexadecimal digits (0-9, A-F)\n"},
        {Replaced(clean, "SMODE=0", "SMODE=7"), "SMODE: \"7\" is not 0 or 1\n"},
    };
    for (const Case& c : refused) {
        WriteBytes(dir.File("bad.am2"), c.bytes);
        const CliRun write = RunCli(dir, "write bad.am2 --sim-state device.state -q");
        EXPECT_EQ(write.code, 3) << c.line;
        EXPECT_NE(write.err.find(c.line), std::string::npos) << c.line << "\n" << write.err;
        EXPECT_EQ(write.out, "");
    }
    EXPECT_EQ(ReadBytes(dir.File("device.state")), state) << "nothing was sent";

    // A key the tool does not know is a note and blocks nothing.
    WriteBytes(dir.File("note.am2"), clean + "COLOUR=red\r\n");
    const CliRun noted = RunCli(dir, "write note.am2 --sim-state device.state -q");
    EXPECT_EQ(noted.code, 0) << noted.err;
    EXPECT_EQ(noted.err, "Note: COLOUR: is not a setting of the communicator; it is ignored\n");

    // Forced, the missing key is cleared on the device, which is what the verify expects.
    WriteBytes(dir.File("bad.am2"), Replaced(clean, "UPHN1=+36301234567\r\n", ""));
    const CliRun forced = RunCli(dir, "write bad.am2 --force --sim-state device.state -q");
    EXPECT_EQ(forced.code, 0) << forced.err;
    EXPECT_EQ(forced.out.rfind("Written and verified: wrote bad.am2 to the communicator", 0), 0u)
        << forced.out;
    EXPECT_EQ(SimParameter(dir.File("device.state"), "UPHN1"), "");
}

TEST(CliSafety, DiffComparesDeviceOrFilesAndWritesNothing) {
    TempDir dir;
    ASSERT_EQ(RunCli(dir, "read device.am2 --sim-state device.state -q").code, 0);
    const std::string state = ReadBytes(dir.File("device.state"));
    const std::string clean = ReadBytes(dir.File("device.am2"));
    WriteBytes(dir.File("site.am2"),
               Replaced(Replaced(clean, "UPHN1=+36301234567\r\n", ""), "ACCID=12AB", "ACCID=BEEF"));

    const CliRun same = RunCli(dir, "diff device.am2 --sim-state device.state -q");
    EXPECT_EQ(same.code, 0) << same.err;
    EXPECT_EQ(same.out, "All 467 settings are equal\n");
    const CliRun device = RunCli(dir, "diff site.am2 --sim-state device.state -q");
    EXPECT_EQ(device.code, 4) << device.err;
    EXPECT_EQ(device.out,
              "ACCID: file \"BEEF\" device \"12AB\"\n"
              "UPHN1: missing from the file, device \"+36301234567\"\n"
              "2 of 467 settings differ\n");
    EXPECT_EQ(ReadBytes(dir.File("device.state")), state) << "nothing written";

    const CliRun files = RunCli(dir, "diff device.am2 site.am2");
    EXPECT_EQ(files.code, 4);
    EXPECT_NE(files.out.find("\nUPHN1: device.am2 \"+36301234567\", missing from site.am2\n"),
              std::string::npos)
        << files.out;
    WriteBytes(dir.File("junk.am2"), "[GSM]\r\n");
    EXPECT_EQ(RunCli(dir, "diff device.am2 junk.am2").code, 3);
    EXPECT_EQ(RunCli(dir, "diff device.am2 none.am2").code, 3);
}

#ifndef _WIN32
bool HasTemporaryFiles(const TempDir& dir) {
    for (const auto& entry : fs::directory_iterator(dir.path)) {
        if (entry.path().extension() == ".tmp") {
            return true;
        }
    }
    return false;
}

TEST(CliSafety, InterruptedWriteSaysWhatTheDeviceHoldsAndLeavesNoTemporaryFile) {
    TempDir dir;
    ASSERT_TRUE(settings::SaveSettingsFile(SiteSettings(), 0, dir.File("site.am2")).ok);
    // Each answer 10 ms late: the alarm table alone takes some 3 s. The signal comes once its
    // stage has begun.
    const int code = RunScript(
        dir,
        "QUELVAR_SIM_LATENCY_MS=10 \"$CLI\" write site.am2 --sim-state device.state 2>err.txt & "
        "pid=$!; for i in $(seq 200); do grep -q 'Writing alarm table' err.txt && break; "
        "sleep 0.05; done; kill -INT $pid; wait $pid");
    EXPECT_EQ(code, 130);
    const std::string err = ReadBytes(dir.File("err.txt"));
    EXPECT_EQ(err.substr(err.find("Writing alarm table...\n") + 23),
              "Interrupted while writing the alarm table: it holds a partial configuration; run "
              "write again\n")
        << err;
    EXPECT_FALSE(HasTemporaryFiles(dir));
    // The simulated device keeps what it was sent before the stop.
    EXPECT_EQ(SimParameter(dir.File("device.state"), "UPHN3"), "+36703333333");
}

TEST(CliSafety, TwoRunsOnOneSimulatedDeviceKeepBothWritesInOrder) {
    TempDir dir;
    SettingsModel second = SiteSettings();
    second.Rule(settings::TableId::kPhoneNumbers).SetValue("T4", "+36204444444");
    ASSERT_TRUE(settings::SaveSettingsFile(SiteSettings(), 0, dir.File("first.am2")).ok);
    ASSERT_TRUE(settings::SaveSettingsFile(second, 0, dir.File("second.am2")).ok);
    const int code = RunScript(
        dir,
        "QUELVAR_SIM_LATENCY_MS=5 \"$CLI\" write first.am2 --sim-state device.state "
        ">first.txt 2>&1 & first=$!; "
        "for i in $(seq 200); do grep -q 'Writing' first.txt && break; sleep 0.05; done; "
        "\"$CLI\" write second.am2 --sim-state device.state -q --wait 30 >second.txt 2>&1; "
        "code=$?; wait $first && exit $code");
    EXPECT_EQ(code, 0) << ReadBytes(dir.File("first.txt")) << ReadBytes(dir.File("second.txt"));
    EXPECT_EQ(SimParameter(dir.File("device.state"), "UPHN4"), "+36204444444");
}

TEST(CliSafety, SimStateMustBeARegularFileAndKeepsItsMode) {
    TempDir dir;
    ASSERT_EQ(RunScript(dir, "mkfifo pipe.state"), 0);
    const CliRun fifo = RunCli(dir, "status --sim-state pipe.state --wait 1");
    EXPECT_EQ(fifo.code, 3);
    EXPECT_NE(fifo.err.find("not a regular file"), std::string::npos) << fifo.err;

    ASSERT_EQ(RunCli(dir, "passwd --new-password 4321 --sim-state device.state -q").code, 0);
    EXPECT_EQ(fs::status(dir.File("device.state")).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write)
        << "it holds the password";
    fs::permissions(dir.File("device.state"),
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_EQ(
        RunCli(dir, "passwd --password 4321 --new-password 1111 --sim-state device.state -q").code,
        0);
    EXPECT_EQ(fs::status(dir.File("device.state")).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST(CliSafety, PasswordsComeFromTheEnvironmentOrAFile) {
    TempDir dir;
    ASSERT_EQ(
        RunScript(dir, "QUELVAR_NEW_PASSWORD=4321 \"$CLI\" passwd --sim-state device.state -q"), 0);
    EXPECT_EQ(SimParameter(dir.File("device.state"), "PW"), "4339");
    EXPECT_EQ(
        RunScript(dir, "QUELVAR_PASSWORD=4321 \"$CLI\" read a.am2 --sim-state device.state -q"), 0);
    WriteBytes(dir.File("password.txt"), "4321\n");
    EXPECT_EQ(
        RunCli(dir, "read b.am2 --password-file password.txt --sim-state device.state -q").code, 0);
    WriteBytes(dir.File("password.txt"), "1234\n");
    EXPECT_EQ(
        RunCli(dir, "read c.am2 --password-file password.txt --sim-state device.state -q").code, 2);
    EXPECT_EQ(RunScript(dir, "QUELVAR_PASSWORD=12 \"$CLI\" read d.am2 --simulate -q 2>/dev/null"),
              64);
}
#endif

}  // namespace
}  // namespace quelvar::test

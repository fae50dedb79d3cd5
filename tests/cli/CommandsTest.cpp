// quelvar-gsm-cli run as a process against the simulator, with real files.

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "cli/CliRun.h"
#include "settings/SettingsFile.h"
#include "sim/SimState.h"

namespace quelvar::test {
namespace {

using settings::SettingsModel;
using settings::TableId;

void SetByKey(SettingsModel& model, const std::string& key, const std::string& value) {
    for (const settings::CatalogueTable& table : settings::AllTables()) {
        settings::TTableRule& rule = model.Rule(table.id);
        rule.ForEachRow([&](const std::string& caption, const std::string& rowKey) {
            if (rowKey == key) {
                rule.SetValue(caption, value);
            }
        });
    }
}

// Every value differs from the simulator's factory settings; Windows-1250 texts included.
SettingsModel DistinctSettings() {
    SettingsModel model;
    for (const auto& [key, value] :
         std::vector<std::pair<std::string, std::string>>{{"SIMPIN", "4321"},
                                                          {"UPHN1", "+36301111111"},
                                                          {"UPHN2", ""},
                                                          {"UPHN3", "+36703333333"},
                                                          {"UPHN4", "+36204444444"},
                                                          {"SFWN", "+36305555555"},
                                                          {"IN1S", "2 sec"},
                                                          {"IN1T", "NC"},
                                                          {"IN2S", "10 min"},
                                                          {"IN2T", "NO"},
                                                          {"ACCID", "BEEF"},
                                                          {"MS1", "+3619999999"},
                                                          {"Z1CID", "132"},
                                                          {"Z2CID", "133"}}) {
        SetByKey(model, key, value);
    }
    settings::StringGrid& alarms = model.AlarmGrid();
    for (const int row : {1, 32}) {
        alarms.SetCell(1, row, "139");
        alarms.SetCell(2, row, "R");
        alarms.SetCell(3, row, "02");
        alarms.SetCell(4, row, "015");
        alarms.SetCell(6, row, "X");
        alarms.SetCell(9, row, "T\xFBz a f\xF6ldszinten");  // Tűz a földszinten
        alarms.SetCell(13, row, "X");
    }
    model.InputGrid().SetCell(5, 1, "Z1 riaszt\xE1s!");
    model.InputGrid().SetCell(1, 1, "X");
    return model;
}

void Save(const SettingsModel& model, int mode, const std::string& path) {
    ASSERT_TRUE(settings::SaveSettingsFile(model, mode, path).ok);
}

// The settings file read as the window loads it, every cell of every grid.
std::vector<std::string> FileCells(const std::string& path, int* mode) {
    settings::SettingsReadResult read = settings::ReadSettingsFile(path);
    EXPECT_TRUE(read.content) << read.error;
    SettingsModel model;
    if (!read.content) {
        return {};
    }
    for (const settings::CatalogueTable& table : settings::AllTables()) {
        settings::TTableRule& rule = model.Rule(table.id);
        rule.ForEachRow([&](const std::string& caption, const std::string& key) {
            rule.SetValue(caption, read.content->Value(key));
        });
    }
    settings::FillEventGridsFromFile(*read.content, model);
    *mode = read.content->ModeIndex();
    return AllCells(model);
}

TEST(CliCommands, WriteThenReadThroughOneSimStateGivesBackTheFile) {
    TempDir dir;
    Save(DistinctSettings(), 1, dir.File("written.am2"));

    const CliRun write = RunCli(dir, "write written.am2 --sim-state device.state -q");
    ASSERT_EQ(write.code, 0) << write.err;
    EXPECT_NE(write.out.find("all 467 settings (parameters, both event tables and the mode) match"),
              std::string::npos)
        << write.out;
    EXPECT_EQ(write.err, "");
    // The file holds no acknowledgement marks, so the device's stay as they were.
    EXPECT_EQ(SimParameter(dir.File("device.state"), "GACK"), "1000");
    EXPECT_EQ(SimParameter(dir.File("device.state"), "SMODE"), "Transparent");

    const CliRun read = RunCli(dir, "read back.am2 --sim-state device.state -q");
    ASSERT_EQ(read.code, 0) << read.err;
    int writtenMode = -1;
    int readMode = -1;
    const std::vector<std::string> written = FileCells(dir.File("written.am2"), &writtenMode);
    const std::vector<std::string> back = FileCells(dir.File("back.am2"), &readMode);
    ASSERT_EQ(written.size(), back.size());
    for (std::size_t i = 0; i < written.size(); ++i) {
        EXPECT_EQ(written[i], back[i]) << "cell " << i;
    }
    EXPECT_EQ(readMode, writtenMode);
}

TEST(CliCommands, WriteReportsEveryDifferenceAndExits4) {
    TempDir dir;
    SettingsModel model = DistinctSettings();
    SetByKey(model, "UPHN1", "+" + std::string(60, '3'));  // more than a command holds
    model.AlarmGrid().SetCell(1, 3, "12345");              // the code field holds three
    // The field holds 163 bytes; a text must start with a plain character to be read at all.
    model.InputGrid().SetCell(5, 2, "Z" + std::string(169, '\xF5'));  // Zőőő…
    Save(model, 0, dir.File("long.am2"));

    // Refused as it stands, sent with --force.
    const CliRun refused = RunCli(dir, "write long.am2 --sim-state device.state -q");
    EXPECT_EQ(refused.code, 3);
    EXPECT_NE(refused.err.find("extev3Code: \"12345\" is not 3 characters of * and digits\n"),
              std::string::npos)
        << refused.err;
    const CliRun write = RunCli(dir, "write long.am2 --force --sim-state device.state -q");
    EXPECT_EQ(write.code, 4) << write.err;
    const std::vector<std::string> lines = Lines(write.out);
    ASSERT_EQ(lines.size(), 3u) << write.out;
    EXPECT_EQ(lines[0], "UPHN1: file \"+" + std::string(60, '3') +
                            "\" device \"+36301234567\" (too long to send)");
    // A code the device holds is named beside it.
    EXPECT_EQ(lines[1], "extev3Code: file \"12345\" device \"123\" (Audible panic)");
    std::string sms = "Z";
    for (int i = 0; i < 162; ++i) {
        sms += "\xC5\x91";  // ő in UTF-8
    }
    EXPECT_EQ(lines[2].rfind("intevZ1 Vissza\xC3\xA1ll\xC3\xA1sSMS \xC3\xBCzenet: file \"", 0), 0u)
        << lines[2];
    EXPECT_NE(lines[2].find("device \"" + sms + "\""), std::string::npos);
    EXPECT_NE(write.err.find("verify failed: 3 settings differ"), std::string::npos) << write.err;
    // Everything else was written all the same.
    EXPECT_EQ(SimParameter(dir.File("device.state"), "UPHN2"), "");
    EXPECT_EQ(SimParameter(dir.File("device.state"), "SMODE"), "Standalone");
}

TEST(CliCommands, PasswordIsAskedForAndChanged) {
    TempDir dir;
    ASSERT_EQ(RunCli(dir, "passwd --new-password 4321 --sim-state device.state -q").code, 0);
    EXPECT_EQ(SimParameter(dir.File("device.state"), "PW"), "4339");

    const CliRun none = RunCli(dir, "read a.am2 --sim-state device.state -q");
    EXPECT_EQ(none.code, 2);
    EXPECT_NE(none.err.find("--password"), std::string::npos) << none.err;
    const CliRun wrong = RunCli(dir, "read a.am2 --sim-state device.state --password 1234 -q");
    EXPECT_EQ(wrong.code, 2);
    EXPECT_EQ(Lines(wrong.err).size(), 1u) << wrong.err;
    EXPECT_FALSE(std::filesystem::exists(dir.File("a.am2")));
    const CliRun change =
        RunCli(dir, "passwd --password 1234 --new-password 0000 --sim-state device.state -q");
    EXPECT_EQ(change.code, 2);
    EXPECT_EQ(SimParameter(dir.File("device.state"), "PW"), "4339");

    EXPECT_EQ(RunCli(dir, "read a.am2 --sim-state device.state --password 4321 -q").code, 0);
    EXPECT_EQ(
        RunCli(dir, "passwd --password 4321 --new-password 0000 --sim-state device.state").code, 0);
    EXPECT_EQ(SimParameter(dir.File("device.state"), "PW"), "18");
}

TEST(CliCommands, NonSettingsFileExits3AndSendsNothing) {
    TempDir dir;
    ASSERT_EQ(RunCli(dir, "read factory.am2 --sim-state device.state -q").code, 0);
    const std::string state = ReadBytes(dir.File("device.state"));
    WriteBytes(dir.File("notes.am2"), "UPHN1=+36300000000\r\nSMODE=1\r\n");

    const CliRun junk = RunCli(dir, "write notes.am2 --sim-state device.state");
    EXPECT_EQ(junk.code, 3);
    EXPECT_EQ(Lines(junk.err).size(), 1u) << junk.err;
    EXPECT_NE(junk.err.find("not a settings file"), std::string::npos) << junk.err;
    const CliRun missing = RunCli(dir, "write absent.am2 --sim-state device.state");
    EXPECT_EQ(missing.code, 3);
    EXPECT_NE(missing.err.find("absent.am2"), std::string::npos) << missing.err;
    EXPECT_EQ(ReadBytes(dir.File("device.state")), state);

    const CliRun unwritable = RunCli(dir, "read no/such/folder.am2 --sim-state device.state -q");
    EXPECT_EQ(unwritable.code, 3);
    EXPECT_NE(unwritable.err.find("Unable to write"), std::string::npos) << unwritable.err;

    WriteBytes(dir.File("device.state"), state.substr(0, state.size() / 2));
    const CliRun torn = RunCli(dir, "status --sim-state device.state");
    EXPECT_EQ(torn.code, 3);
    EXPECT_NE(torn.err.find("not a simulator state file"), std::string::npos) << torn.err;
}

TEST(CliCommands, NoDeviceExits1WithinTheWait) {
    TempDir dir;
    const CliRun status = RunCli(dir, "status --wait 0.5");
    EXPECT_EQ(status.code, 1);
    EXPECT_LT(status.took, std::chrono::milliseconds(3000));
    EXPECT_EQ(status.err, "No communicator found within 0.5 s\n");
    EXPECT_EQ(RunCli(dir, "read a.am2 --wait 0").code, 1);
    EXPECT_FALSE(std::filesystem::exists(dir.File("a.am2")));
    // One look for the device is always made: one that is there is found.
    EXPECT_EQ(RunCli(dir, "read a.am2 --wait 0 --simulate -q").code, 0);
}

TEST(CliCommands, HelpListsCommandsAndOptions) {
    TempDir dir;
    const CliRun help = RunCli(dir, "write --help");
    EXPECT_EQ(help.code, 0);
    for (const char* word :
         {"status", "read FILE", "write FILE", "passwd", "--password", "--new-password", "--wait",
          "--simulate", "--sim-state", "--quiet", "--help", "64"}) {
        EXPECT_NE(help.out.find(word), std::string::npos) << word;
    }
    // Every option the parser takes has its own line in the list of options.
    const std::string options = help.out.substr(help.out.find("Options:"));
    for (const char* option :
         {"--password ", "--password-file", "--new-password", "--force", "--no-backup", "--account",
          "--log", "--wait", "--simulate", "--sim-state", "--quiet", "--help", "--version"}) {
        EXPECT_NE(options.find(std::string("\n  ") + option), std::string::npos) << option;
    }
}

TEST(CliCommands, BadUsageExits64WithOneLine) {
    TempDir dir;
    for (const char* arguments :
         {"", "frobnicate", "read", "read a.am2 b.am2", "status --wait soon", "status --wait",
          "status --password 12", "status --password=12345", "status --bogus", "passwd",
          "read a.am2 --new-password 1234", "status --quiet=yes"}) {
        const CliRun run = RunCli(dir, arguments);
        EXPECT_EQ(run.code, 64) << arguments;
        EXPECT_EQ(Lines(run.err).size(), 1u) << arguments << ": " << run.err;
        EXPECT_EQ(run.out, "") << arguments;
    }
}

TEST(CliCommands, ProgressIsOneLinePerStageOffATerminalAndNoneWhenQuiet) {
    TempDir dir;
    const CliRun loud = RunCli(dir, "read a.am2 --sim-state device.state");
    ASSERT_EQ(loud.code, 0) << loud.err;
    EXPECT_EQ(loud.err, "Reading settings...\nReading alarm table...\nReading input table...\n");
    const CliRun quiet = RunCli(dir, "read a.am2 --sim-state device.state --quiet");
    ASSERT_EQ(quiet.code, 0);
    EXPECT_EQ(quiet.err, "");
    EXPECT_NE(quiet.out.find("Saved"), std::string::npos);
}

TEST(CliCommands, DeviceTextsArePrintedInUtf8) {
    TempDir dir;
    ASSERT_EQ(RunCli(dir, "read a.am2 --sim-state device.state -q").code, 0);
    sim::SimStateFileRead state = sim::ReadSimStateFile(dir.File("device.state"));
    ASSERT_TRUE(state.state);
    state.state->parameters["VSTR"] = "2.14 b\xE9ta";  // béta in Windows-1250
    ASSERT_EQ(sim::WriteSimStateFile(dir.File("device.state"), *state.state), "");

    const CliRun read = RunCli(dir, "read a.am2 --sim-state device.state -q");
    EXPECT_NE(read.out.find("firmware 2.14 b\xC3\xA9ta"), std::string::npos) << read.out;
    const CliRun status = RunCli(dir, "status --sim-state device.state");
    EXPECT_EQ(status.code, 0);
    EXPECT_NE(status.out.find("Firmware: 2.14 b\xC3\xA9ta"), std::string::npos) << status.out;
    // Which site and how it reports, without a log-in.
    EXPECT_NE(status.out.find("Account:  12AB\nMode:     Standalone\n"), std::string::npos)
        << status.out;
}

}  // namespace
}  // namespace quelvar::test

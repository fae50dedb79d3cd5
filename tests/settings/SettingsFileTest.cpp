// The settings file on disk: its keys, keeping other content, refusals and failed saves.

#include "settings/SettingsFile.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "support/SettingsFiles.h"

namespace quelvar::settings {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

class SettingsFileTest : public ::testing::Test {
  protected:
    test::TempDir dir;
    const std::string path = dir.File("settings.am2");
};

TEST_F(SettingsFileTest, ANewFileHoldsEveryKeyInOrderLabelsAndHeadersWithTheirBlanks) {
    SettingsModel model;
    model.Rule(TableId::kSimCard).SetValue(model.Grid(TableId::kSimCard).Cell(0, 0), "1234");
    model.AlarmGrid().SetCell(10, 12, "X");
    model.InputGrid().SetCell(5, 1, "Z1 text");
    ASSERT_TRUE(SaveSettingsFile(model, 0, path).ok);

    Lines lines;
    const std::string bytes = test::ReadBytes(path);
    for (std::size_t at = 0, end; (end = bytes.find("\r\n", at)) != std::string::npos;
         at = end + 2) {
        lines.push_back(bytes.substr(at, end - at));
    }
    ASSERT_EQ(lines.size(), 1u + 14u + 416u + 36u + 1u);
    EXPECT_EQ(Lines(lines.begin(), lines.begin() + 15),
              (Lines{"[GSM]", "SIMPIN=1234", "IN1T=", "IN1S=", "IN2T=", "IN2S=", "MS1=", "Z1CID=",
                     "Z2CID=", "ACCID=", "UPHN1=", "UPHN2=", "UPHN3=", "UPHN4=", "SFWN="}));
    EXPECT_EQ(Lines(lines.begin() + 19, lines.begin() + 25),
              (Lines{"extev1CallT1=", "extev1CallT2=", "extev1CallT3=", "extev1CallT4=",
                     "extev1SMS \xFCzenet=", "extev1T1="}));
    EXPECT_EQ(lines[15 + 11 * 13 + 9], "extev12T1=X");
    EXPECT_EQ(lines[15 + 416], "intevZ1 Riaszt\xE1sCallT1=");
    EXPECT_EQ(lines[15 + 416 + 4], "intevZ1 Riaszt\xE1sSMS \xFCzenet=Z1 text");
    EXPECT_EQ(lines.back(), "SMODE=0");
}

TEST_F(SettingsFileTest, SavingIntoAFileKeepsEverythingElseAndEndsEveryLineInCrLf) {
    // Lines end in LF, CR alone and CR LF; a save writes CR LF throughout.
    test::WriteBytes(path,
                     "; written by hand\n[Other]\rSIMPIN=keep\n\n[gsm]\nsmode = 0\rNOTE=mine\n"
                     "\n; the next section\n[Tail]\r\nx=1");
    ASSERT_TRUE(SaveSettingsFile(SettingsModel(), 1, path).ok);

    const std::string after = test::ReadBytes(path);
    // Replaced in place, new keys after the section's last entry.
    const std::string head =
        "; written by hand\r\n[Other]\r\nSIMPIN=keep\r\n\r\n[gsm]\r\n"
        "SMODE=1\r\nNOTE=mine\r\nSIMPIN=\r\nIN1T=\r\n";
    const std::string tail =
        "intevZ2 Vissza\xE1ll\xE1sT4=\r\n\r\n; the next section\r\n[Tail]\r\nx=1\r\n";
    EXPECT_EQ(after.substr(0, head.size()), head);
    EXPECT_EQ(after.substr(after.size() - tail.size()), tail);
}

TEST_F(SettingsFileTest, AFailedSaveShowsTheErrorAndLeavesTheOldFileAlone) {
    test::WriteBytes(path, "[GSM]\r\nSMODE=1\r\n");
    fs::create_directory(dir.path / "folder.am2");
    SettingsModel unsavable;
    unsavable.AlarmGrid().SetCell(9, 1, "two\nlines");
    const SettingsModel plain;
    std::vector<std::pair<const SettingsModel*, std::string>> attempts = {
        {&unsavable, path}, {&plain, dir.File("folder.am2")}, {&plain, dir.File("no/x.am2")}};
#ifndef _WIN32
    // Permissions do not stop root, so a read-only file is tried only where they hold.
    if (geteuid() != 0) {
        fs::permissions(path, fs::perms::owner_read);
        attempts.emplace_back(&plain, path);
    }
#endif
    for (const auto& [model, target] : attempts) {
        const SettingsSaveResult result = SaveSettingsFile(*model, 0, target);
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.message, "Unable to write to " + target);
    }
    EXPECT_EQ(test::ReadBytes(path), "[GSM]\r\nSMODE=1\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 2)
        << "nothing left beside the file";
}

TEST_F(SettingsFileTest, ReadingRefusesWhatIsNoSettingsFile) {
    std::string limit = "[GSM]\r\nSMODE=0\r\n";
    limit.resize(kMaxSettingsFileSize, ';');
    test::WriteBytes(dir.File("limit.am2"), limit);
    test::WriteBytes(dir.File("big.am2"), limit + ";");
    test::WriteBytes(dir.File("other.ini"), "[Other]\r\nSMODE=1\r\n");
    EXPECT_TRUE(ReadSettingsFile(dir.File("limit.am2")).content);
    const std::vector<std::pair<std::string, std::string>> refused = {
        {dir.File("big.am2"),
         dir.File("big.am2") + " is not a settings file: it is larger than 1 MiB"},
        {dir.File("other.ini"),
         dir.File("other.ini") + " is not a settings file: it has no [GSM] section"},
        {dir.File("none.am2"),
         "Unable to read " + dir.File("none.am2") + ": there is no such file"},
        {dir.path.string(), "Unable to read " + dir.path.string() + ": it is a folder"},
    };
    for (const auto& [file, error] : refused) {
        const SettingsReadResult read = ReadSettingsFile(file);
        EXPECT_FALSE(read.content);
        EXPECT_EQ(read.error, error);
    }
}

TEST_F(SettingsFileTest, MissingKeysReadEmptyAndCallMarksFallBackToThePlainKeys) {
    test::WriteBytes(path,
                     "[gsm]\n"
                     "EXTEV12T1 = X\n"
                     "extev12callt2=X\n"
                     "intevZ2 Riaszt\xE1sT3=X\n"
                     "SMODE=1abc\n");
    const SettingsReadResult read = ReadSettingsFile(path);
    ASSERT_TRUE(read.content);
    SettingsModel model;
    model.AlarmGrid().SetCell(1, 1, "old");
    model.InputGrid().SetCell(5, 4, "old");
    FillEventGridsFromFile(*read.content, model);

    SettingsModel expected;
    for (const int col : {5, 10, 6}) {
        expected.AlarmGrid().SetCell(col, 12, "X");  // call T1 and SMS T1 share the plain key
    }
    expected.InputGrid().SetCell(3, 3, "X");
    expected.InputGrid().SetCell(8, 3, "X");
    EXPECT_EQ(test::AllCells(model), test::AllCells(expected));
    EXPECT_EQ(read.content->ModeIndex(), 1);
    EXPECT_EQ(SettingsFileContent(IniFile::Parse("[GSM]\nSMODE=2")).ModeIndex(), 0);
}

#ifndef _WIN32
// Saving over a file keeps who owns it and who may read it, through a link too.
TEST_F(SettingsFileTest, ASaveKeepsOwnerModeAndLinks) {
    const std::string link = dir.File("link.am2");
    test::WriteBytes(path, "[GSM]\r\nSMODE=0\r\n");
    fs::create_symlink(path, link);
    // Group write does not survive the usual umask: only a mode set on purpose keeps it.
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                              fs::perms::group_write);
    // Only root can give a file away; others keep their own uid anyway.
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(chown(path.c_str(), 1234, 4321), 0);
    }
    SettingsModel model;
    model.Rule(TableId::kSimCard).SetValue(model.Grid(TableId::kSimCard).Cell(0, 0), "4321");
    ASSERT_TRUE(SaveSettingsFile(model, 1, link).ok);

    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_NE(test::ReadBytes(path).find("SIMPIN=4321\r\n"), std::string::npos);
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                  fs::perms::group_write);
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, root ? 1234u : geteuid());
    EXPECT_EQ(info.st_gid, root ? 4321u : getegid());
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 2);
}
#endif

}  // namespace
}  // namespace quelvar::settings

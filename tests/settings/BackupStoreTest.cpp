// The backup folder: names, the owner-only safe save, the listing's order and filter, the bound.

#include "settings/BackupStore.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "settings/SettingsCheck.h"
#include "settings/SettingsFile.h"
#include "support/SettingsFiles.h"

namespace quelvar::settings {
namespace {

namespace fs = std::filesystem;
using std::chrono::seconds;
using std::chrono::system_clock;

class BackupStoreTest : public ::testing::Test {
  protected:
    test::TempDir dir;
    const fs::path folder = dir.path / "data" / "backups";
    const system_clock::time_point t0 = system_clock::now();

    std::vector<std::string> Names(const BackupStore& store,
                                   std::optional<std::string_view> account = {}) const {
        std::vector<std::string> names;
        for (const BackupEntry& entry : store.List(account)) {
            names.push_back(entry.accountId + "@" + entry.time.substr(11) +
                            (entry.sequence > 1 ? "#" + std::to_string(entry.sequence) : ""));
        }
        return names;
    }
};

TEST_F(BackupStoreTest, ABackupIsAnOwnerOnlySettingsFileNamedByTimeAccountAndFirmware) {
    SettingsModel model;
    ASSERT_TRUE(
        model.Rule(TableId::kSimCard).SetValue(model.Grid(TableId::kSimCard).Cell(0, 0), "1234"));
    model.AlarmGrid().SetCell(9, 4, "T\xFBz");
    for (const CatalogueTable& table : AllTables()) {
        model.Rule(table.id).ForEachRow([&](const std::string& caption, const std::string& key) {
            if (key == kAccountKey) {
                model.Rule(table.id).SetValue(caption, "a1b2");
            }
        });
    }
    BackupStore store(folder);
    const BackupSaveResult saved = store.Save(model, 0, "2.14 b\xE9ta");
    ASSERT_TRUE(saved.Saved()) << saved.error;

    const std::string name = saved.path.filename().string();
    EXPECT_TRUE(name.ends_with("_A1B2_2.14-b-ta.am2")) << name;
    EXPECT_EQ(name.size(), 20 + std::string("_A1B2_2.14-b-ta.am2").size()) << name;
    EXPECT_EQ(name[19], 'Z') << name;
    EXPECT_EQ(saved.path.parent_path(), folder);
#ifndef _WIN32
    EXPECT_EQ(fs::status(saved.path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all);
#endif
    // It opens as any settings file and holds exactly what the model held.
    const SettingsReadResult read = ReadSettingsFile(saved.path.string());
    ASSERT_TRUE(read.content) << read.error;
    EXPECT_TRUE(CompareSettings(ValuesOf(model, 0), ValuesOf(*read.content)).empty());
    EXPECT_EQ(AccountIdOf(model), "a1b2");
}

TEST_F(BackupStoreTest, ListsNewestFirstWithinASecondTooFiltersByAccountAndSkipsOtherFiles) {
    BackupStore store(folder);
    ASSERT_TRUE(store.Save("[GSM]\r\nACCID=1111\r\n", "1111", "2.14", t0).Saved());
    ASSERT_TRUE(store.Save("[GSM]\r\nACCID=2222\r\n", "2222", "2.14", t0 + seconds(1)).Saved());
    ASSERT_TRUE(store.Save("[GSM]\r\nACCID=1111\r\n", "1111", "2.15", t0 + seconds(1)).Saved());
    ASSERT_TRUE(store.Save("[GSM]\r\nACCID=BEEF\r\n", "beef", "2.15", t0 + seconds(1)).Saved());
    test::WriteBytes((folder / "site.am2").string(), "[GSM]\r\nACCID=1111\r\n");
    test::WriteBytes((folder / "2026-12-09T15-30-12_X.am2").string(), "");

    const std::vector<std::string> all = Names(store);
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[0].substr(0, 4), "BEEF");
    EXPECT_TRUE(all[0].ends_with("#3")) << all[0];
    EXPECT_EQ(all[1].substr(0, 4), "1111");
    EXPECT_TRUE(all[1].ends_with("#2")) << all[1];
    EXPECT_EQ(all[2].substr(0, 4), "2222");
    EXPECT_EQ(all[3].substr(0, 4), "1111");
    EXPECT_EQ(Names(store, "beef").size(), 1u);
    EXPECT_EQ(Names(store, "1111").size(), 2u);
    EXPECT_EQ(store.List("1111").front().firmware, "2.15");
    EXPECT_TRUE(Names(store, "9999").empty());
    EXPECT_TRUE(BackupStore(dir.path / "none").List().empty());
}

TEST_F(BackupStoreTest, KeepsTheNewestUpToTheBoundAndTheNewestOfEveryAccount) {
    // Backups that earlier runs left (local-time names, as earlier versions wrote them).
    fs::create_directories(folder);
    const std::vector<std::string> earlier = {
        "2026-01-05T10-00-00_OLD1_1.am2", "2026-01-05T10-00-01_A1B2_1.am2",
        "2026-01-05T10-00-02_A1B2_1.am2", "2026-01-05T10-00-03_A1B2_1.am2",
        "2026-01-05T10-00-04_A1B2_1.am2", "2026-01-05T10-00-05_A1B2_1.am2",
    };
    for (const std::string& name : earlier) {
        test::WriteBytes((folder / name).string(), "[GSM]\r\n");
    }
    test::WriteBytes((folder / "notes.txt").string(), "mine");
    BackupStore store(folder, 3);
    const fs::path saved = store.Save("[GSM]\r\n", "A1B2", "1", t0).path;

    const std::vector<BackupEntry> kept = store.List();
    ASSERT_EQ(kept.size(), 4u);
    EXPECT_EQ(kept[3].accountId, "OLD1");
    // The newest three of the account stay, the older ones went.
    EXPECT_EQ(kept[0].path, saved);
    EXPECT_EQ(kept[1].path, folder / earlier[5]);
    EXPECT_EQ(kept[2].path, folder / earlier[4]);
    EXPECT_TRUE(fs::exists(folder / "notes.txt"));
}

// A clock set ahead once left names from the future: the backup just written is still kept,
// though by its name it is beyond the bound.
TEST_F(BackupStoreTest, ABackupThisProgramWroteIsNeverPruned) {
    fs::create_directories(folder);
    for (int i = 0; i < 3; ++i) {
        test::WriteBytes(
            (folder / ("2099-01-01T10-00-0" + std::to_string(i) + "_A1B2_1.am2")).string(),
            "[GSM]\r\n");
    }
    BackupStore store(folder, 2);
    const BackupSaveResult first = store.Save("[GSM]\r\n", "A1B2", "1", t0);
    const BackupSaveResult second = store.Save("[GSM]\r\n", "A1B2", "1", t0 + seconds(1));
    ASSERT_TRUE(first.Saved() && second.Saved());
    EXPECT_TRUE(fs::exists(first.path));
    EXPECT_TRUE(fs::exists(second.path));
    EXPECT_EQ(store.List().size(), 4u);
    EXPECT_FALSE(fs::exists(folder / "2099-01-01T10-00-00_A1B2_1.am2")) << "beyond the bound";
}

#ifndef _WIN32
// Sets TZ for one test, as a user who travels or a summer-time change would.
class ScopedTimeZone {
  public:
    explicit ScopedTimeZone(const char* zone) {
        const char* old = std::getenv("TZ");
        old_ = old ? std::optional<std::string>(old) : std::nullopt;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        old_ ? setenv("TZ", old_->c_str(), 1) : unsetenv("TZ");
        tzset();
    }

  private:
    std::optional<std::string> old_;
};

// Names carry UTC; names of earlier versions (no Z) are local time, and both sort by the time
// they name, whatever zone the program runs in.
TEST_F(BackupStoreTest, NamesAreInUtcAndOlderLocalNamesSortByTheTimeTheyMean) {
    const ScopedTimeZone zone("CET-1");                                         // UTC+1
    const system_clock::time_point at = system_clock::from_time_t(1796895012);  // 09:30:12Z
    BackupStore store(folder);
    const BackupSaveResult saved = store.Save("[GSM]\r\n", "12AB", "2.14", at);
    ASSERT_TRUE(saved.Saved()) << saved.error;
    EXPECT_EQ(saved.path.filename().string(), "2026-12-10T09-30-12Z_12AB_2.14.am2");
    // 10:00 local is 09:00Z: older, though its name sorts after; 10:45 local is newer.
    test::WriteBytes((folder / "2026-12-10T10-00-00_12AB_2.14.am2").string(), "[GSM]\r\n");
    test::WriteBytes((folder / "2026-12-10T10-45-00_12AB_2.14.am2").string(), "[GSM]\r\n");
    const std::vector<BackupEntry> listed = store.List();
    ASSERT_EQ(listed.size(), 3u);
    EXPECT_EQ(listed[0].time, "2026-12-10 10:45:00");
    EXPECT_EQ(listed[1].path, saved.path);
    EXPECT_EQ(listed[1].time, "2026-12-10 10:30:12") << "shown in local time";
    EXPECT_EQ(listed[2].time, "2026-12-10 10:00:00");
    // The same folder read in another zone: the UTC names keep their order and moment.
    const ScopedTimeZone away("EST5");
    const std::vector<BackupEntry> again = store.List();
    ASSERT_EQ(again.size(), 3u);
    EXPECT_EQ(again[2].path, saved.path) << "the local names now mean 15:00Z and 15:45Z";
    EXPECT_EQ(again[2].time, "2026-12-10 04:30:12");
    EXPECT_EQ(again[2].when, at);
}

// Two programs backing up devices of the same account and firmware in the same second: each
// backup gets a file of its own, never one shared or overwritten.
TEST_F(BackupStoreTest, TwoProgramsInTheSameSecondEachKeepTheirOwnBackup) {
    constexpr int kRounds = 30;
    fs::create_directories(folder);
    for (int round = 0; round < kRounds; ++round) {
        int start[2];
        ASSERT_EQ(::pipe(start), 0);
        std::vector<pid_t> programs;
        for (int program = 0; program < 2; ++program) {
            const pid_t pid = ::fork();
            ASSERT_GE(pid, 0);
            if (pid == 0) {
                ::close(start[1]);
                char go = 0;
                [[maybe_unused]] const ssize_t ignored = ::read(start[0], &go, 1);
                const std::string bytes =
                    "[GSM]\r\nACCID=12AB\r\nUPHN1=" + std::to_string(program) + "\r\n";
                const bool saved =
                    BackupStore(folder).Save(bytes, "12AB", "2.14", t0 + seconds(round)).Saved();
                ::_exit(saved ? 0 : 1);
            }
            programs.push_back(pid);
        }
        ::close(start[0]);
        ::close(start[1]);  // both go at once
        for (const pid_t pid : programs) {
            int status = 0;
            ASSERT_EQ(::waitpid(pid, &status, 0), pid);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << round;
        }
    }
    std::map<std::string, int> byProgram;
    for (const BackupEntry& entry : BackupStore(folder).List()) {
        const std::string bytes = test::ReadBytes(entry.path.string());
        ++byProgram[bytes.substr(bytes.find("UPHN1="))];
    }
    EXPECT_EQ(byProgram["UPHN1=0\r\n"], kRounds);
    EXPECT_EQ(byProgram["UPHN1=1\r\n"], kRounds);
}
#endif

// The name holds the account ID cut and cleaned; the file's own ACCID decides which backup is
// the device's.
TEST_F(BackupStoreTest, TheNewestHoldingAnAccountIsFoundByTheFilesOwnAccountId) {
    BackupStore store(folder);
    const std::string longId(40, '7');
    const std::string otherLongId = std::string(39, '7') + "8";
    ASSERT_TRUE(store
                    .Save("[GSM]\r\nACCID=\xC1"
                          "1B2\r\n",
                          "\xC1"
                          "1B2",
                          "2", t0)
                    .Saved());
    ASSERT_TRUE(store
                    .Save("[GSM]\r\nACCID=\xC9"
                          "1B2\r\n",
                          "\xC9"
                          "1B2",
                          "2", t0 + seconds(1))
                    .Saved());
    ASSERT_TRUE(store.Save("[GSM]\r\nACCID=" + longId + "\r\n", longId, "2", t0).Saved());
    ASSERT_TRUE(
        store.Save("[GSM]\r\nACCID=" + otherLongId + "\r\n", otherLongId, "2", t0 + seconds(1))
            .Saved());
    ASSERT_EQ(store
                  .List("\xC1"
                        "1B2")
                  .size(),
              2u)
        << "both names read -1B2";

    auto accountOf = [&](const std::string& id) {
        const std::optional<BackupEntry> found = store.NewestHolding(id);
        return found ? test::ReadBytes(found->path.string()) : std::string("none");
    };
    EXPECT_EQ(accountOf("\xC1"
                        "1B2"),
              "[GSM]\r\nACCID=\xC1"
              "1B2\r\n");
    EXPECT_EQ(accountOf("\xC9"
                        "1B2"),
              "[GSM]\r\nACCID=\xC9"
              "1B2\r\n");
    EXPECT_EQ(accountOf(longId), "[GSM]\r\nACCID=" + longId + "\r\n");
    EXPECT_EQ(accountOf("\xE1"
                        "1b2"),
              "none")
        << "no case folding of the device's bytes";
}

TEST_F(BackupStoreTest, AFolderThatCannotBeWrittenIsAnErrorAndLeavesNothing) {
    fs::create_directories(folder.parent_path());
    test::WriteBytes(folder.string(), "a file where the folder belongs");
    const BackupSaveResult saved = BackupStore(folder).Save("[GSM]\r\n", "A1B2", "2.14");
    EXPECT_FALSE(saved.Saved());
    EXPECT_TRUE(saved.path.empty());
    EXPECT_NE(saved.error.find(folder.string()), std::string::npos) << saved.error;

    const BackupSaveResult nowhere = BackupStore(fs::path()).Save("[GSM]\r\n", "A1B2", "2.14");
    EXPECT_FALSE(nowhere.Saved());
    EXPECT_EQ(test::ReadBytes(folder.string()), "a file where the folder belongs");
}

TEST_F(BackupStoreTest, AccountAndFirmwareTextsStayInsideTheFolder) {
    BackupStore store(folder);
    const BackupSaveResult saved = store.Save("[GSM]\r\n", "../_x", "", t0);
    ASSERT_TRUE(saved.Saved()) << saved.error;
    EXPECT_EQ(saved.path.parent_path(), folder);
    ASSERT_EQ(store.List().size(), 1u);
    EXPECT_EQ(store.List().front().accountId, "..--X");
    EXPECT_EQ(store.List().front().firmware, "unknown");
}

TEST(BackupFolder, ComesFromTheDataHomeOrTheHomeFolder) {
    const std::vector<std::pair<std::map<std::string, std::string>, std::string>> cases = {
#ifdef _WIN32
        {{{"LOCALAPPDATA", "C:\\Users\\u\\AppData\\Local"}},
         "C:\\Users\\u\\AppData\\Local\\Quelvar GSM\\backups"},
        {{{"HOME", "/home/u"}}, ""},
#else
        {{{"XDG_DATA_HOME", "/data"}, {"HOME", "/home/u"}}, "/data/quelvar-gsm/backups"},
        {{{"XDG_DATA_HOME", "relative"}, {"HOME", "/home/u"}},
         "/home/u/.local/share/quelvar-gsm/backups"},
        {{{"HOME", "/home/u"}}, "/home/u/.local/share/quelvar-gsm/backups"},
        {{}, ""},
#endif
    };
    for (const auto& [variables, expected] : cases) {
        const fs::path folder = DefaultBackupFolder([&](const char* name) -> const char* {
            const auto it = variables.find(name);
            return it == variables.end() ? nullptr : it->second.c_str();
        });
        EXPECT_EQ(folder.string(), fs::path(expected).make_preferred().string());
    }
}

}  // namespace
}  // namespace quelvar::settings

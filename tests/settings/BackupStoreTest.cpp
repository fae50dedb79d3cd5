// The backup folder: names, the owner-only safe save, the listing's order and filter, the bound.

#include "settings/BackupStore.h"

#include <gtest/gtest.h>

#include <map>

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
    EXPECT_EQ(name.size(), 19 + std::string("_A1B2_2.14-b-ta.am2").size()) << name;
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
    BackupStore store(folder, 3);
    ASSERT_TRUE(store.Save("[GSM]\r\n", "OLD1", "1", t0).Saved());
    std::vector<fs::path> saved;
    auto save = [&](int second) {
        saved.push_back(store.Save("[GSM]\r\n", "A1B2", "1", t0 + seconds(second)).path);
    };
    for (int i = 1; i <= 5; ++i) {
        save(i);
    }
    test::WriteBytes((folder / "notes.txt").string(), "mine");
    save(6);

    const std::vector<BackupEntry> kept = store.List();
    ASSERT_EQ(kept.size(), 4u);
    EXPECT_EQ(kept[3].accountId, "OLD1");
    // The newest three of the account stay, the older ones went.
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(kept[i].path, saved[5 - i]) << i;
    }
    EXPECT_TRUE(fs::exists(folder / "notes.txt"));
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

// The site register on real SQLite files: revisions with their changes, sites and customers,
// the chain that finds a backup across an account change, and a register that cannot be used.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <map>
#include <thread>

#include "register/RegisterText.h"
#include "register/RegisterUse.h"
#include "register/SequenceRevision.h"
#include "register/SqliteRegister.h"
#include "settings/SettingsCheck.h"
#include "support/SettingsFiles.h"

namespace quelvar::test {
namespace {

using sites::RevisionKind;
using sites::RevisionRecord;

// A settings file holding the catalogue's empty values but for the keys given.
std::string SettingsWith(const std::map<std::string, std::string>& values) {
    settings::SettingsModel model;
    for (const auto& [key, value] : values) {
        const settings::SettingPlace& place = settings::AllSettings()[*settings::SettingIndex(key)];
        switch (place.group) {
            case settings::SettingGroup::kTable:
                model.Grid(place.table).SetCell(1, place.row, value);
                break;
            case settings::SettingGroup::kAlarmGrid:
                model.AlarmGrid().SetCell(place.col, place.row, value);
                break;
            default:
                ADD_FAILURE() << key;
        }
    }
    return *sites::SettingsBytes(model, 0);
}

RevisionRecord Revision(RevisionKind kind, const std::string& account,
                        std::optional<std::string> settings, const std::string& backup = {}) {
    RevisionRecord revision;
    revision.kind = kind;
    revision.accountId = account;
    revision.usbPath = "1-1.2:1.0";
    revision.firmware = "2.14";
    revision.outcome = "verified";
    revision.settingsAfter = std::move(settings);
    revision.backupPath = backup;
    return revision;
}

int UserVersion(const std::string& file) {
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &statement, nullptr);
    const int version =
        sqlite3_step(statement) == SQLITE_ROW ? sqlite3_column_int(statement, 0) : -1;
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return version;
}

void Execute(const std::string& file, const char* sql) {
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

class SiteRegisterTest : public ::testing::Test {
  protected:
    TempDir dir;
    const std::string file = dir.File("register.sqlite");
    sites::Recorder recorder{"alice", "workshop", "quelvar-gsm-cli 1.0"};
};

TEST_F(SiteRegisterTest, RevisionsKeepEachChangedSettingAndSayItInALine) {
    sites::RegisterUse use(file, {}, recorder);
    const std::string first = SettingsWith({{"ACCID", "12AB"}, {"UPHN1", "+36301234567"}});
    ASSERT_TRUE(use.Record(Revision(RevisionKind::kRead, "12AB", first), std::nullopt));
    std::string second = SettingsWith({{"ACCID", "12AB"},
                                       {"UPHN1", "+36709876543"},
                                       {"extev1Code", "130"},
                                       {"extev2Code", "110"},
                                       {"extev2Part", "01"},
                                       {"extev3Code", "301"}});
    // The backup (what the device held before) is what the changes are counted from.
    ASSERT_TRUE(use.Record(Revision(RevisionKind::kWriteBack, "12AB", second), first));
    // A password change holds no settings: the next read is compared with the write's.
    ASSERT_TRUE(
        use.Record(Revision(RevisionKind::kPasswordChange, "12AB", std::nullopt), std::nullopt));
    ASSERT_TRUE(use.Record(Revision(RevisionKind::kRead, "12AB", second), std::nullopt));
    EXPECT_EQ(use.TakeProblem(), "");

    sites::SqliteRegister reg(file);
    const std::vector<sites::Revision> history = reg.History("12AB");
    ASSERT_EQ(history.size(), 4u);
    EXPECT_EQ(history[0].kind, RevisionKind::kRead);
    EXPECT_EQ(history[0].summary, "no change");
    EXPECT_EQ(sites::WhatText(history[1]), "password changed");
    EXPECT_EQ(history[2].summary, "T1: +36301234567 -> +36709876543; 3 alarm events changed");
    EXPECT_EQ(history[2].changeCount, 5);
    EXPECT_EQ(history[2].user, "alice");
    EXPECT_EQ(history[2].computer, "workshop");
    EXPECT_EQ(history[3].summary, "first record");

    const std::vector<sites::SettingChange> changes = reg.Changes(history[2].id);
    ASSERT_EQ(changes.size(), 5u);
    EXPECT_EQ(sites::ChangeLine(changes[0]),
              "Phone numbers, T1: \"+36301234567\" -> \"+36709876543\"");
    EXPECT_EQ(sites::ChangeLine(changes[1]), "Alarm events, 1, Code: \"\" -> \"130\"");
    // Every revision that holds settings opens as the settings file it was.
    EXPECT_EQ(reg.Settings(history[2].id), second);
    EXPECT_EQ(reg.Settings(history[1].id), std::nullopt);

    const std::optional<sites::Site> site = reg.FindSite("12AB");
    ASSERT_TRUE(site);
    EXPECT_EQ(site->revisions, 4);
    EXPECT_EQ(site->firmware, "2.14");
    ASSERT_EQ(reg.Devices().size(), 1u);
    EXPECT_EQ(reg.Devices()[0].accountIds, std::vector<std::string>{"12AB"});
}

TEST_F(SiteRegisterTest, CustomersAreEditedInPlaceAndFoundByAnyFieldIgnoringCase) {
    sites::SqliteRegister reg(file);
    reg.Record(Revision(RevisionKind::kRead, "12AB", SettingsWith({{"ACCID", "12AB"}})));
    // Windows-1250: "Kovács Bt.", "Győr"
    reg.UpdateCustomer("12AB", {"Kov\xE1"
                                "cs Bt.",
                                "Gy\xF5r, F\xF5 t\xE9r 1", std::nullopt, std::nullopt});
    reg.UpdateCustomer("12AB", {std::nullopt, std::nullopt, "+3696123456", std::nullopt});
    // A site may be entered before any device of it was met.
    reg.UpdateCustomer("34CD", {"Szab\xF3 Kft.", std::nullopt, std::nullopt, "=HYPERLINK(1)"});

    const std::vector<sites::Site> all = reg.Sites();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].name,
              "Kov\xE1"
              "cs Bt.");
    EXPECT_EQ(all[0].phone, "+3696123456");
    EXPECT_EQ(all[1].revisions, 0);
    EXPECT_TRUE(sites::SiteMatches(all[0],
                                   "KOV\xC1"
                                   "CS"));  // KOVÁCS
    EXPECT_TRUE(sites::SiteMatches(all[0], "gy\xF5r"));
    EXPECT_TRUE(sites::SiteMatches(all[0], "12ab"));
    EXPECT_FALSE(sites::SiteMatches(all[1], "Kov"));

    const std::string csv = sites::ExportCsv(reg);
    EXPECT_NE(csv.find("12AB,Kov\xC3\xA1"
                       "cs Bt.,"),
              std::string::npos)
        << csv;
    EXPECT_NE(csv.find("'=HYPERLINK(1)"), std::string::npos) << csv;
    EXPECT_NE(csv.find(",read,"), std::string::npos) << csv;
}

TEST_F(SiteRegisterTest, TheLastWriteLeavingAnAccountLeadsBackToTheBackupBeforeIt) {
    sites::SqliteRegister reg(file);
    const std::string before = SettingsWith({{"ACCID", "12AB"}});
    const std::string after = SettingsWith({{"ACCID", "34CD"}});
    reg.Record(Revision(RevisionKind::kRead, "12AB", before));
    reg.Record(Revision(RevisionKind::kCommandWrite, "34CD", after, "/backups/old-12AB.am2"));
    RevisionRecord elsewhere = Revision(RevisionKind::kWriteBack, "34CD", after, "/backups/b.am2");
    elsewhere.usbPath = "2-1:1.0";
    elsewhere.when += std::chrono::seconds(5);
    reg.Record(elsewhere);

    // This device's own write wins over a newer one on another device of the same account.
    const std::optional<sites::Revision> write = reg.LastWriteLeaving("34CD", "1-1.2:1.0");
    ASSERT_TRUE(write);
    EXPECT_EQ(write->backupPath, "/backups/old-12AB.am2");
    EXPECT_EQ(reg.LastWriteLeaving("34CD", "9-9")->backupPath, "/backups/b.am2");
    EXPECT_FALSE(reg.LastWriteLeaving("12AB", "1-1.2:1.0"));
}

TEST_F(SiteRegisterTest, ANewRegisterTakesInTheBackupFolderOnceOldestFirst) {
    settings::BackupStore store(dir.path / "backups");
    const auto t0 = sites::Clock::now() - std::chrono::hours(48);
    ASSERT_TRUE(store.Save(SettingsWith({{"ACCID", "12AB"}, {"UPHN1", "+361"}}), "12AB", "2.13", t0)
                    .Saved());
    const settings::BackupSaveResult deleted =
        store.Save(SettingsWith({{"ACCID", "12AB"}, {"UPHN1", "+362"}}), "12AB", "2.14",
                   t0 + std::chrono::hours(1));
    ASSERT_TRUE(
        store.Save(SettingsWith({{"ACCID", "34CD"}}), "34CD", "2.14", t0 + std::chrono::hours(2))
            .Saved());
    {
        sites::RegisterUse use(file, dir.path / "backups", recorder);
        EXPECT_TRUE(use.Try([](sites::SiteRegister&) {}));
        EXPECT_EQ(use.TakeNotice(), "");
    }
    std::filesystem::remove(deleted.path);
    sites::RegisterUse again(file, dir.path / "backups", recorder);
    std::vector<sites::Revision> history;
    ASSERT_TRUE(again.Try([&](sites::SiteRegister& reg) { history = reg.History("12AB"); }));
    EXPECT_EQ(again.TakeNotice(), "");
    ASSERT_EQ(history.size(), 2u);
    EXPECT_EQ(history[0].kind, RevisionKind::kImportedBackup);
    EXPECT_EQ(history[0].summary, "T1: +361 -> +362");
    EXPECT_EQ(std::chrono::floor<std::chrono::seconds>(history[1].when),
              std::chrono::floor<std::chrono::seconds>(t0));
    // A backup deleted by hand: its revision stays, its settings too, and it says so.
    EXPECT_TRUE(sites::BackupDeleted(history[0]));
    EXPECT_NE(sites::HistoryLine(history[0]).find("(backup file deleted)"), std::string::npos);
    EXPECT_FALSE(sites::BackupDeleted(history[1]));
}

TEST_F(SiteRegisterTest, ANewerSchemaIsRefusedAndLeftAsItIsAndSaidOnce) {
    { sites::SqliteRegister made(file); }
    Execute(file, "PRAGMA user_version=7");
    sites::RegisterUse use(file, {}, recorder);
    EXPECT_FALSE(use.Record(Revision(RevisionKind::kRead, "12AB", SettingsWith({})), std::nullopt));
    const std::string problem = use.TakeProblem();
    EXPECT_NE(problem.find("made by a newer version of this program (schema 7; this one knows 1)"),
              std::string::npos)
        << problem;
    EXPECT_EQ(use.TakeProblem(), "");
    EXPECT_FALSE(use.Try([](sites::SiteRegister&) {}));
    EXPECT_EQ(UserVersion(file), 7);
}

TEST_F(SiteRegisterTest, ADamagedFileIsMovedAsideWithItsDateAndANewOneStarted) {
    const std::string garbage(4096, 'x');
    WriteBytes(file, garbage);
    sites::RegisterUse use(file, {}, recorder);
    EXPECT_TRUE(use.Record(Revision(RevisionKind::kRead, "12AB", SettingsWith({})), std::nullopt));
    const std::string notice = use.TakeNotice();
    EXPECT_NE(notice.find("The site register was damaged"), std::string::npos) << notice;
    int aside = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("register.sqlite.damaged-20")) {
            ++aside;
            EXPECT_EQ(ReadBytes(entry.path().string()), garbage);
            EXPECT_NE(notice.find(name), std::string::npos);
        }
    }
    EXPECT_EQ(aside, 1);
    EXPECT_EQ(sites::SqliteRegister(file).History("12AB").size(), 1u);
}

TEST_F(SiteRegisterTest, ARegisterLockedBeyondItsWaitFailsTheRecordOnlyAndSaysSoOnce) {
    { sites::SqliteRegister made(file); }
    sqlite3* other = nullptr;
    sqlite3_open(file.c_str(), &other);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    sites::SqliteRegister locked(file, 50);
    EXPECT_THROW(locked.Record(Revision(RevisionKind::kRead, "12AB", SettingsWith({}))),
                 sites::RegisterError);
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    // Once the lock is gone the same connection records again.
    EXPECT_NO_THROW(locked.Record(Revision(RevisionKind::kRead, "12AB", SettingsWith({}))));
}

TEST_F(SiteRegisterTest, TwoProgramsRecordingAtOnceLoseNothing) {
    { sites::SqliteRegister made(file); }
    constexpr int kEach = 40;
    auto recordMany = [&](const std::string& account) {
        sites::RegisterUse use(file, {}, recorder);
        for (int i = 0; i < kEach; ++i) {
            use.Record(Revision(RevisionKind::kRead, account,
                                SettingsWith({{"UPHN1", "+36" + std::to_string(i)}})),
                       std::nullopt);
        }
        EXPECT_EQ(use.TakeProblem(), "");
    };
    std::thread first(recordMany, "12AB");
    std::thread second(recordMany, "34CD");
    first.join();
    second.join();
    sites::SqliteRegister reg(file);
    EXPECT_EQ(reg.History("12AB").size(), static_cast<std::size_t>(kEach));
    EXPECT_EQ(reg.History("34CD").size(), static_cast<std::size_t>(kEach));
    EXPECT_EQ(reg.AllRevisions().size(), 2u * kEach);
}

}  // namespace
}  // namespace quelvar::test

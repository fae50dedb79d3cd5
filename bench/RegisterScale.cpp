#include "RegisterScale.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <vector>

#include <sqlite3.h>

#include "register/RegisterUse.h"
#include "register/SequenceRevision.h"
#include "register/SqliteRegister.h"

namespace quelvar::bench {

namespace {

constexpr int kSites = 1000;
constexpr int kRevisionsPerSite = 10;
constexpr int kTimedRecords = 21;

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string Account(int site) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", site);
    return text;
}

// A site's settings with one phone number that each revision changes.
std::string SettingsOf(const std::string& account, int revision) {
    settings::SettingsModel model;
    model.Rule(settings::TableId::kMonitoring)
        .SetValue(
            "\xDCgyf\xE9lk\xF3"
            "d:",
            account);
    model.Rule(settings::TableId::kPhoneNumbers)
        .SetValue("T1", "+3630" + std::to_string(1000000 + revision));
    model.AlarmGrid().SetCell(1, 1, "130");
    return *sites::SettingsBytes(model, 0);
}

// The file's size with everything in it: the write-ahead log checkpointed into it first.
std::uintmax_t FileBytes(const std::filesystem::path& file) {
    sqlite3* db = nullptr;
    if (sqlite3_open(file.string().c_str(), &db) == SQLITE_OK) {
        sqlite3_exec(db, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
    }
    sqlite3_close(db);
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    return error ? 0 : size;
}

}  // namespace

RegisterFigures MeasureRegister(const QString& folder) {
    const std::filesystem::path file = std::filesystem::path(folder.toStdString()) / "scale.sqlite";
    sites::RegisterUse use(file, {}, sites::ThisRecorder("quelvar-bench"));
    use.Prepare();
    const std::uintmax_t empty = FileBytes(file);
    sites::RevisionRecord revision;
    revision.kind = sites::RevisionKind::kWriteBack;
    revision.usbPath = "1-1.2:1.0";
    revision.firmware = "2.14";
    revision.outcome = "verified";
    for (int r = 0; r < kRevisionsPerSite; ++r) {
        for (int s = 0; s < kSites; ++s) {
            revision.accountId = Account(s);
            revision.settingsAfter = SettingsOf(revision.accountId, r);
            use.Record(revision, std::nullopt);
        }
    }
    RegisterFigures figures;
    figures.sites = kSites;
    figures.revisions = kSites * kRevisionsPerSite;

    figures.bytesPerRevision =
        static_cast<double>(FileBytes(file) - empty) / static_cast<double>(figures.revisions);
    std::vector<double> records;
    for (int r = 0; r < kTimedRecords; ++r) {
        revision.accountId = Account(r);
        revision.settingsAfter = SettingsOf(revision.accountId, kRevisionsPerSite + r);
        const auto start = Clock::now();
        use.Record(revision, std::nullopt);
        records.push_back(MsSince(start));
    }
    std::sort(records.begin(), records.end());
    figures.recordMs = records[records.size() / 2];

    use.Try([&](sites::SiteRegister& reg) {
        auto start = Clock::now();
        const std::vector<sites::Site> all = reg.Sites();
        figures.listSitesMs = MsSince(start);
        start = Clock::now();
        const std::vector<sites::Revision> history = reg.History(Account(kSites / 2));
        figures.historyMs = MsSince(start);
    });
    return figures;
}

}  // namespace quelvar::bench

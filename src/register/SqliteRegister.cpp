#include "register/SqliteRegister.h"

#include <sqlite3.h>

namespace quelvar::sites {

namespace {

// Schema 1. Account IDs and texts are blobs: compared byte for byte, never re-encoded. A
// revision's settings are a settings file's bytes, kept once however many revisions hold them.
constexpr const char* kSchema1 = R"(
CREATE TABLE sites(
    account BLOB PRIMARY KEY,
    name BLOB NOT NULL DEFAULT x'', address BLOB NOT NULL DEFAULT x'',
    phone BLOB NOT NULL DEFAULT x'', notes BLOB NOT NULL DEFAULT x'',
    first_seen INTEGER NOT NULL, last_seen INTEGER NOT NULL);
CREATE TABLE devices(
    id INTEGER PRIMARY KEY, usb_path BLOB NOT NULL UNIQUE, firmware BLOB NOT NULL,
    first_seen INTEGER NOT NULL, last_seen INTEGER NOT NULL);
CREATE TABLE snapshots(id INTEGER PRIMARY KEY, digest INTEGER NOT NULL, bytes BLOB NOT NULL);
CREATE INDEX snapshots_by_digest ON snapshots(digest);
CREATE TABLE revisions(
    id INTEGER PRIMARY KEY, at INTEGER NOT NULL, kind TEXT NOT NULL,
    account BLOB NOT NULL REFERENCES sites(account), device INTEGER REFERENCES devices(id),
    user BLOB NOT NULL, computer BLOB NOT NULL, program BLOB NOT NULL, firmware BLOB NOT NULL,
    outcome BLOB NOT NULL, summary BLOB NOT NULL, change_count INTEGER NOT NULL,
    settings INTEGER REFERENCES snapshots(id), backup_path BLOB NOT NULL);
CREATE INDEX revisions_by_account ON revisions(account, at);
CREATE INDEX revisions_by_device ON revisions(device, at);
CREATE TABLE changes(
    revision INTEGER NOT NULL REFERENCES revisions(id), key BLOB NOT NULL, grp BLOB NOT NULL,
    row_label BLOB NOT NULL, col BLOB NOT NULL, before BLOB, after BLOB);
CREATE INDEX changes_by_revision ON changes(revision);
)";

// Each entry takes the schema from its index to the next.
constexpr const char* kUpgrades[] = {kSchema1};
static_assert(std::size(kUpgrades) == kSchemaVersion);

constexpr const char* kWriteKinds = "('write-back', 'load', 'restore', 'write')";

std::int64_t Millis(Clock::time_point when) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count();
}

Clock::time_point TimeOf(std::int64_t millis) {
    return Clock::time_point(
        std::chrono::duration_cast<Clock::duration>(std::chrono::milliseconds(millis)));
}

// FNV-1a: only to find candidates, the bytes themselves decide.
std::int64_t Digest(std::string_view bytes) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : bytes) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    return static_cast<std::int64_t>(hash);
}

// SQLite takes file names in UTF-8 on every system (on Windows the native narrow text is not).
std::string SqliteName(const std::filesystem::path& file) {
    const std::u8string name = file.u8string();
    return std::string(name.begin(), name.end());
}

int UserVersion(Database& db) {
    Statement version(db, "PRAGMA user_version");
    return version.Step() ? static_cast<int>(version.Integer(0)) : 0;
}

constexpr const char* kRevisionColumns =
    "SELECT r.id, r.at, r.kind, r.account, r.user, r.computer, r.program, "
    "coalesce(d.usb_path, x''), r.firmware, r.outcome, r.summary, r.backup_path, "
    "r.change_count, r.settings IS NOT NULL FROM revisions r LEFT JOIN devices d "
    "ON d.id = r.device ";

Revision RevisionOf(const Statement& row) {
    Revision revision;
    revision.id = row.Integer(0);
    revision.when = TimeOf(row.Integer(1));
    revision.kind = KindOfName(row.Text(2)).value_or(RevisionKind::kRead);
    revision.accountId = row.Text(3);
    revision.user = row.Text(4);
    revision.computer = row.Text(5);
    revision.program = row.Text(6);
    revision.usbPath = row.Text(7);
    revision.firmware = row.Text(8);
    revision.outcome = row.Text(9);
    revision.summary = row.Text(10);
    revision.backupPath = row.Text(11);
    revision.changeCount = static_cast<int>(row.Integer(12));
    revision.hasSettings = row.Integer(13) != 0;
    return revision;
}

}  // namespace

int SchemaVersionOf(const std::filesystem::path& file) {
    Database db(SqliteName(file), false);
    return UserVersion(db);
}

SqliteRegister::SqliteRegister(const std::filesystem::path& file, int busyTimeoutMs)
    : db_(SqliteName(file), true) {
    sqlite3_busy_timeout(db_.Handle(), busyTimeoutMs);
    // Reading the version first finds a file that is no database at all (SQLITE_NOTADB).
    const int version = UserVersion(db_);
    if (version > kSchemaVersion) {
        throw RegisterError("it was made by a newer version of this program (schema " +
                                std::to_string(version) + "; this one knows " +
                                std::to_string(kSchemaVersion) + ") and is left as it is",
                            0);
    }
    db_.Execute("PRAGMA journal_mode=WAL");
    db_.Execute("PRAGMA synchronous=NORMAL");
    db_.Execute("PRAGMA foreign_keys=ON");
    if (version < kSchemaVersion) {
        created_ = version == 0;
        Upgrade();
    }
}

void SqliteRegister::Upgrade() {
    Transaction transaction(db_);
    // Another program may have upgraded it meanwhile: the version is read again under the lock.
    for (int version = UserVersion(db_); version < kSchemaVersion; ++version) {
        db_.Execute(kUpgrades[version]);
        db_.Execute(("PRAGMA user_version=" + std::to_string(version + 1)).c_str());
    }
    transaction.Commit();
}

std::int64_t SqliteRegister::DeviceId(const RevisionRecord& revision) {
    Statement upsert(db_,
                     "INSERT INTO devices(usb_path, firmware, first_seen, last_seen) "
                     "VALUES(?1, ?2, ?3, ?3) ON CONFLICT(usb_path) DO UPDATE SET "
                     "firmware = CASE WHEN excluded.last_seen >= last_seen AND "
                     "excluded.firmware != x'' THEN excluded.firmware ELSE firmware END, "
                     "first_seen = min(first_seen, excluded.first_seen), "
                     "last_seen = max(last_seen, excluded.last_seen)");
    upsert.Bind(1, revision.usbPath).Bind(2, revision.firmware).Bind(3, Millis(revision.when));
    upsert.Run();
    Statement id(db_, "SELECT id FROM devices WHERE usb_path = ?1");
    id.Bind(1, revision.usbPath);
    return id.Step() ? id.Integer(0) : 0;
}

std::int64_t SqliteRegister::SnapshotId(const std::string& bytes) {
    const std::int64_t digest = Digest(bytes);
    Statement same(db_, "SELECT id, bytes FROM snapshots WHERE digest = ?1");
    same.Bind(1, digest);
    while (same.Step()) {
        if (same.Text(1) == bytes) {
            return same.Integer(0);
        }
    }
    Statement insert(db_, "INSERT INTO snapshots(digest, bytes) VALUES(?1, ?2)");
    insert.Bind(1, digest).Bind(2, bytes);
    insert.Run();
    return db_.LastInsertId();
}

std::int64_t SqliteRegister::Record(const RevisionRecord& revision) {
    Transaction transaction(db_);
    const std::int64_t when = Millis(revision.when);
    Statement site(db_,
                   "INSERT INTO sites(account, first_seen, last_seen) VALUES(?1, ?2, ?2) "
                   "ON CONFLICT(account) DO UPDATE SET first_seen = min(first_seen, "
                   "excluded.first_seen), last_seen = max(last_seen, excluded.last_seen)");
    site.Bind(1, revision.accountId).Bind(2, when);
    site.Run();

    Statement insert(db_,
                     "INSERT INTO revisions(at, kind, account, device, user, computer, program, "
                     "firmware, outcome, summary, change_count, settings, backup_path) "
                     "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13)");
    insert.Bind(1, when).BindText(2, KindName(revision.kind));
    insert.Bind(3, revision.accountId);
    if (revision.usbPath.empty()) {
        insert.BindNull(4);
    } else {
        insert.Bind(4, DeviceId(revision));
    }
    insert.Bind(5, revision.user).Bind(6, revision.computer).Bind(7, revision.program);
    insert.Bind(8, revision.firmware).Bind(9, revision.outcome).Bind(10, revision.summary);
    insert.Bind(11, static_cast<std::int64_t>(revision.changes.size()));
    if (revision.settingsAfter) {
        insert.Bind(12, SnapshotId(*revision.settingsAfter));
    } else {
        insert.BindNull(12);
    }
    insert.Bind(13, revision.backupPath);
    insert.Run();
    const std::int64_t id = db_.LastInsertId();

    Statement change(db_,
                     "INSERT INTO changes(revision, key, grp, row_label, col, before, after) "
                     "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7)");
    for (const SettingChange& c : revision.changes) {
        change.Bind(1, id).Bind(2, c.key).Bind(3, c.group).Bind(4, c.row).Bind(5, c.column);
        change.BindOptional(6, c.before).BindOptional(7, c.after);
        change.Run();
        change.Reset();
    }
    transaction.Commit();
    return id;
}

std::vector<Site> SqliteRegister::QuerySites(const char* where, std::string_view accountId) {
    std::string sql =
        "SELECT s.account, s.name, s.address, s.phone, s.notes, s.first_seen, s.last_seen, "
        "(SELECT max(at) FROM revisions r WHERE r.account = s.account AND r.change_count > 0), "
        "(SELECT firmware FROM revisions r WHERE r.account = s.account "
        " ORDER BY at DESC, id DESC LIMIT 1), "
        "(SELECT count(*) FROM revisions r WHERE r.account = s.account) FROM sites s ";
    sql += where;
    sql += " ORDER BY s.account";
    Statement query(db_, sql.c_str());
    if (!accountId.empty()) {
        query.Bind(1, accountId);
    }
    std::vector<Site> sites;
    while (query.Step()) {
        Site site;
        site.accountId = query.Text(0);
        site.name = query.Text(1);
        site.address = query.Text(2);
        site.phone = query.Text(3);
        site.notes = query.Text(4);
        site.firstSeen = TimeOf(query.Integer(5));
        site.lastSeen = TimeOf(query.Integer(6));
        if (!query.IsNull(7)) {
            site.lastChange = TimeOf(query.Integer(7));
        }
        site.firmware = query.Text(8);
        site.revisions = static_cast<int>(query.Integer(9));
        sites.push_back(std::move(site));
    }
    return sites;
}

std::vector<Site> SqliteRegister::Sites() {
    return QuerySites("", {});
}

std::optional<Site> SqliteRegister::FindSite(std::string_view accountId) {
    std::vector<Site> sites = QuerySites("WHERE s.account = ?1", accountId);
    if (sites.empty()) {
        return std::nullopt;
    }
    return std::move(sites.front());
}

void SqliteRegister::UpdateCustomer(std::string_view accountId, const CustomerFields& fields) {
    Transaction transaction(db_);
    const std::int64_t now = Millis(Clock::now());
    Statement site(db_,
                   "INSERT INTO sites(account, first_seen, last_seen) VALUES(?1, ?2, ?2) "
                   "ON CONFLICT(account) DO NOTHING");
    site.Bind(1, accountId).Bind(2, now);
    site.Run();
    Statement update(db_,
                     "UPDATE sites SET name = coalesce(?2, name), address = coalesce(?3, "
                     "address), phone = coalesce(?4, phone), notes = coalesce(?5, notes) "
                     "WHERE account = ?1");
    update.Bind(1, accountId).BindOptional(2, fields.name).BindOptional(3, fields.address);
    update.BindOptional(4, fields.phone).BindOptional(5, fields.notes);
    update.Run();
    transaction.Commit();
}

std::vector<Revision> SqliteRegister::QueryRevisions(const char* whereAndOrder,
                                                     std::string_view text, std::int64_t number) {
    const std::string sql = std::string(kRevisionColumns) + whereAndOrder;
    Statement query(db_, sql.c_str());
    if (sql.find("?1") != std::string::npos) {
        query.Bind(1, text);
    }
    if (sql.find("?2") != std::string::npos) {
        query.Bind(2, number);
    }
    std::vector<Revision> revisions;
    while (query.Step()) {
        revisions.push_back(RevisionOf(query));
    }
    return revisions;
}

std::vector<Revision> SqliteRegister::History(std::string_view accountId) {
    return QueryRevisions("WHERE r.account = ?1 ORDER BY r.at DESC, r.id DESC", accountId, 0);
}

std::optional<Revision> SqliteRegister::FindRevision(std::int64_t id) {
    std::vector<Revision> found = QueryRevisions("WHERE r.id = ?2", {}, id);
    if (found.empty()) {
        return std::nullopt;
    }
    return std::move(found.front());
}

std::vector<SettingChange> SqliteRegister::Changes(std::int64_t revision) {
    Statement query(db_,
                    "SELECT key, grp, row_label, col, before, after FROM changes "
                    "WHERE revision = ?1 ORDER BY rowid");
    query.Bind(1, revision);
    std::vector<SettingChange> changes;
    while (query.Step()) {
        changes.push_back({query.Text(0), query.Text(1), query.Text(2), query.Text(3),
                           query.OptionalText(4), query.OptionalText(5)});
    }
    return changes;
}

std::optional<std::string> SqliteRegister::Settings(std::int64_t revision) {
    Statement query(db_,
                    "SELECT s.bytes FROM revisions r JOIN snapshots s ON s.id = r.settings "
                    "WHERE r.id = ?1");
    query.Bind(1, revision);
    return query.Step() ? std::optional(query.Text(0)) : std::nullopt;
}

std::optional<std::string> SqliteRegister::LatestSettings(std::string_view accountId) {
    Statement query(db_,
                    "SELECT s.bytes FROM revisions r JOIN snapshots s ON s.id = r.settings "
                    "WHERE r.account = ?1 ORDER BY r.at DESC, r.id DESC LIMIT 1");
    query.Bind(1, accountId);
    return query.Step() ? std::optional(query.Text(0)) : std::nullopt;
}

std::optional<Revision> SqliteRegister::LastWriteLeaving(std::string_view accountId,
                                                         std::string_view usbPath) {
    const std::string sql = std::string(kRevisionColumns) +
                            "WHERE r.account = ?1 AND r.backup_path != x'' AND r.kind IN " +
                            kWriteKinds +
                            " ORDER BY coalesce(d.usb_path = ?2, 0) DESC, r.at DESC, r.id DESC "
                            "LIMIT 1";
    Statement query(db_, sql.c_str());
    query.Bind(1, accountId).Bind(2, usbPath);
    if (!query.Step()) {
        return std::nullopt;
    }
    return RevisionOf(query);
}

std::optional<std::string> SqliteRegister::LastAccountOn(std::string_view usbPath) {
    Statement query(db_,
                    "SELECT r.account FROM revisions r JOIN devices d ON d.id = r.device "
                    "WHERE d.usb_path = ?1 ORDER BY r.at DESC, r.id DESC LIMIT 1");
    query.Bind(1, usbPath);
    return query.Step() ? std::optional(query.Text(0)) : std::nullopt;
}

std::vector<Device> SqliteRegister::Devices() {
    Statement query(db_,
                    "SELECT id, usb_path, firmware, first_seen, last_seen FROM devices "
                    "ORDER BY usb_path");
    Statement accounts(db_,
                       "SELECT account FROM revisions WHERE device = ?1 GROUP BY account "
                       "ORDER BY min(at)");
    std::vector<Device> devices;
    while (query.Step()) {
        Device device{
            query.Text(1), query.Text(2), TimeOf(query.Integer(3)), TimeOf(query.Integer(4)), {}};
        accounts.Bind(1, query.Integer(0));
        while (accounts.Step()) {
            device.accountIds.push_back(accounts.Text(0));
        }
        accounts.Reset();
        devices.push_back(std::move(device));
    }
    return devices;
}

std::vector<Revision> SqliteRegister::AllRevisions() {
    return QueryRevisions("ORDER BY r.at, r.id", {}, 0);
}

}  // namespace quelvar::sites

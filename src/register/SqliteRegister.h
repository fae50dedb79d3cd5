#pragma once
// The site register in a local SQLite file (register.sqlite beside the backup folder). The
// window and the command line may hold it at once: write-ahead logging, a busy timeout and one
// short transaction per revision.

#include <filesystem>
#include <memory>
#include <string>

#include "register/SiteRegister.h"
#include "register/SqliteStatement.h"

namespace quelvar::sites {

// The schema this program writes. A register made by a newer program is refused, never changed.
inline constexpr int kSchemaVersion = 1;
inline constexpr int kBusyTimeoutMs = 3000;

class SqliteRegister : public SiteRegister {
  public:
    // Opens the register, creating or upgrading its schema in one transaction. Throws
    // RegisterError: a file of a newer schema, one that cannot be opened or read.
    explicit SqliteRegister(const std::filesystem::path& file, int busyTimeoutMs = kBusyTimeoutMs);

    // True when this open made the schema: the register was new.
    bool Created() const { return created_; }

    std::int64_t Record(const RevisionRecord& revision) override;
    std::vector<Site> Sites() override;
    std::optional<Site> FindSite(std::string_view accountId) override;
    void UpdateCustomer(std::string_view accountId, const CustomerFields& fields) override;
    std::vector<Revision> History(std::string_view accountId) override;
    std::optional<Revision> FindRevision(std::int64_t id) override;
    std::vector<SettingChange> Changes(std::int64_t revision) override;
    std::optional<std::string> Settings(std::int64_t revision) override;
    std::optional<std::string> LatestSettings(std::string_view accountId) override;
    std::optional<Revision> LastWriteLeaving(std::string_view accountId,
                                             std::string_view usbPath) override;
    std::optional<std::string> LastAccountOn(std::string_view usbPath) override;
    std::vector<Device> Devices() override;
    std::vector<Revision> AllRevisions() override;

  private:
    void Upgrade();
    std::int64_t DeviceId(const RevisionRecord& revision);
    std::int64_t SnapshotId(const std::string& bytes);
    std::vector<Site> QuerySites(const char* where, std::string_view accountId);
    std::vector<Revision> QueryRevisions(const char* whereAndOrder, std::string_view text,
                                         std::int64_t number);

    Database db_;
    bool created_ = false;
};

// The file's schema version (PRAGMA user_version) without changing it; throws RegisterError.
int SchemaVersionOf(const std::filesystem::path& file);

}  // namespace quelvar::sites

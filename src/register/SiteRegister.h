#pragma once
// The site register: every site the tool has met, its customer, and every revision of its
// settings with each setting that changed. Programs reach it through this interface only, so
// that a shared server database can later take the local file's place. Texts are Windows-1250
// bytes, as the device and the settings files hold them.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quelvar::sites {

using Clock = std::chrono::system_clock;

// What a revision records; the words are stored and exported as they stand.
enum class RevisionKind {
    kRead,            // a log-in read or the command line's read
    kWriteBack,       // the window's write-back
    kLoad,            // a settings file loaded into the device
    kRestore,         // a backup or a revision written back
    kPasswordChange,  // never the password itself
    kCommandWrite,    // the command line's write
    kImportedBackup,  // a backup file found in the backup folder
};
const char* KindName(RevisionKind kind);
std::optional<RevisionKind> KindOfName(std::string_view name);

// One changed setting: where it is and its two values (nothing: the setting was not held).
struct SettingChange {
    std::string key;
    std::string group;   // "Phone numbers", "Alarm events", "Mode"
    std::string row;     // the row's caption or label
    std::string column;  // grids only
    std::optional<std::string> before;
    std::optional<std::string> after;
};

// A revision as a program records it.
struct RevisionRecord {
    Clock::time_point when = Clock::now();
    RevisionKind kind = RevisionKind::kRead;
    std::string accountId;  // the site: what the device holds after, else before
    std::string user;       // the operating system's account
    std::string computer;
    std::string program;  // "quelvar-gsm 0.1.0"
    std::string usbPath;
    std::string firmware;
    std::string outcome;  // "verified", "verify failed", "cut: it holds a partial configuration"
    // The whole settings as the device held them after (a settings file's bytes); nothing
    // when that is not known (a cut, a password change).
    std::optional<std::string> settingsAfter;
    std::string backupPath;  // the backup taken before, if any
    std::vector<SettingChange> changes;
    std::string summary;  // what changed in a line: "T1: +3630 -> +3670; 3 alarm events changed"
};

// A revision as the register lists it.
struct Revision {
    std::int64_t id = 0;
    Clock::time_point when;
    RevisionKind kind = RevisionKind::kRead;
    std::string accountId, user, computer, program, usbPath, firmware, outcome, summary;
    std::string backupPath;
    int changeCount = 0;
    bool hasSettings = false;
};

// Customer fields; nothing leaves a field as it is.
struct CustomerFields {
    std::optional<std::string> name, address, phone, notes;
};

struct Site {
    std::string accountId;
    std::string name, address, phone, notes;
    Clock::time_point firstSeen, lastSeen;
    std::optional<Clock::time_point> lastChange;  // the newest revision that changed something
    std::string firmware;                         // the newest revision's
    int revisions = 0;
};

struct Device {
    std::string usbPath;
    std::string firmware;  // the newest
    Clock::time_point firstSeen, lastSeen;
    std::vector<std::string> accountIds;  // those its revisions held, oldest first
};

class SiteRegister {
  public:
    virtual ~SiteRegister() = default;

    // One revision, its site and its device, in one transaction. Throws RegisterError.
    virtual std::int64_t Record(const RevisionRecord& revision) = 0;
    // Every site, the account ID's order.
    virtual std::vector<Site> Sites() = 0;
    virtual std::optional<Site> FindSite(std::string_view accountId) = 0;
    // Creates the site when the register does not know it yet.
    virtual void UpdateCustomer(std::string_view accountId, const CustomerFields& fields) = 0;
    // The site's revisions, newest first.
    virtual std::vector<Revision> History(std::string_view accountId) = 0;
    virtual std::optional<Revision> FindRevision(std::int64_t id) = 0;
    virtual std::vector<SettingChange> Changes(std::int64_t revision) = 0;
    // The settings file a revision's settings make; nothing when it holds none.
    virtual std::optional<std::string> Settings(std::int64_t revision) = 0;
    // The newest settings the register holds for the site.
    virtual std::optional<std::string> LatestSettings(std::string_view accountId) = 0;
    // The newest write (write-back, load, restore, command-line write) that left the device
    // holding the account ID and has a backup; one on this USB path is preferred.
    virtual std::optional<Revision> LastWriteLeaving(std::string_view accountId,
                                                     std::string_view usbPath) = 0;
    // The account ID of the newest revision on this USB path; nothing when none is known.
    virtual std::optional<std::string> LastAccountOn(std::string_view usbPath) = 0;
    virtual std::vector<Device> Devices() = 0;
    // Every revision of every site, oldest first, for an export.
    virtual std::vector<Revision> AllRevisions() = 0;
};

}  // namespace quelvar::sites

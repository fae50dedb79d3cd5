#include "register/RegisterUse.h"

#include <sqlite3.h>

#include <cstdlib>
#include <ctime>
#include <map>
#include <system_error>
#include <utility>

#include "register/RevisionChanges.h"
#include "register/SqliteRegister.h"
#include "settings/Cp1250.h"
#include "settings/SettingsFile.h"

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

namespace quelvar::sites {

namespace fs = std::filesystem;

namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The system's texts are UTF-8 (or plain ASCII); a name the code page cannot hold keeps its bytes.
std::string FromSystemText(const std::string& text) {
    return settings::Cp1250FromUtf8(text).value_or(text);
}

// "register.sqlite.damaged-2026-12-11T01-50-00Z", with its journal files beside it.
fs::path MoveAside(const fs::path& file) {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &now);
#else
    gmtime_r(&now, &utc);
#endif
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H-%M-%SZ", &utc);
    const fs::path aside = file.string() + ".damaged-" + stamp;
    fs::rename(file, aside);
    for (const char* suffix : {"-wal", "-shm"}) {
        std::error_code ignored;
        fs::rename(file.string() + suffix, aside.string() + suffix, ignored);
    }
    return aside;
}

bool Damaged(const RegisterError& error) {
    return error.Code() == SQLITE_NOTADB || error.Code() == SQLITE_CORRUPT;
}

}  // namespace

fs::path DefaultRegisterFile(const settings::EnvironmentLookup& environment) {
    const fs::path backups = settings::DefaultBackupFolder(environment);
    return backups.empty() ? fs::path() : backups.parent_path() / kRegisterFileName;
}

Recorder ThisRecorder(std::string program) {
    Recorder recorder;
#ifdef _WIN32
    recorder.user = Environment("USERNAME");
    recorder.computer = Environment("COMPUTERNAME");
#else
    recorder.user = Environment("USER");
    if (recorder.user.empty()) {
        recorder.user = Environment("LOGNAME");
    }
    if (const passwd* account = recorder.user.empty() ? getpwuid(geteuid()) : nullptr) {
        recorder.user = account->pw_name;
    }
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) == 0) {
        recorder.computer = host;
    }
#endif
    recorder.user = FromSystemText(recorder.user);
    recorder.computer = FromSystemText(recorder.computer);
    recorder.program = std::move(program);
    return recorder;
}

RegisterUse::RegisterUse(fs::path file, fs::path backupFolder, Recorder recorder)
    : file_(std::move(file)),
      backupFolder_(std::move(backupFolder)),
      recorder_(std::move(recorder)) {}

RegisterUse::~RegisterUse() = default;

void RegisterUse::Fail(const std::string& what) {
    if (problem_.empty()) {
        problem_ = "The site register " + file_.string() + " cannot be used (" + what +
                   "); going on without it";
    }
}

void RegisterUse::Prepare() {
    Open();
}

SiteRegister* RegisterUse::Open() {
    if (tried_ || file_.empty()) {
        return register_.get();
    }
    tried_ = true;
    std::error_code ignored;
    fs::create_directories(file_.parent_path(), ignored);
    std::unique_ptr<SqliteRegister> opened;
    try {
        try {
            opened = std::make_unique<SqliteRegister>(file_);
        } catch (const RegisterError& error) {
            if (!Damaged(error)) {
                throw;
            }
            // Never replaced or emptied in place: the damaged file stays, under another name.
            const fs::path aside = MoveAside(file_);
            notice_ = "The site register was damaged (" + std::string(error.what()) +
                      "); it was moved aside to " + aside.string() + " and a new one started";
            opened = std::make_unique<SqliteRegister>(file_);
        }
        // Quietly: the backups are the register's past, not news.
        if (opened->Created() && !backupFolder_.empty()) {
            ImportBackups(*opened, settings::BackupStore(backupFolder_), recorder_);
        }
    } catch (const RegisterError& error) {
        Fail(error.what());
        return nullptr;
    } catch (const fs::filesystem_error& error) {
        Fail(error.what());
        return nullptr;
    }
    register_ = std::move(opened);
    return register_.get();
}

bool RegisterUse::Try(const std::function<void(SiteRegister&)>& use) {
    SiteRegister* reg = Open();
    if (!reg) {
        return false;
    }
    try {
        use(*reg);
        return true;
    } catch (const RegisterError& error) {
        Fail(error.what());
        return false;
    }
}

std::optional<std::int64_t> RegisterUse::Record(RevisionRecord revision,
                                                const std::optional<std::string>& before) {
    revision.user = recorder_.user;
    revision.computer = recorder_.computer;
    revision.program = recorder_.program;
    std::optional<std::int64_t> id;
    Try([&](SiteRegister& reg) {
        if (revision.settingsAfter) {
            const std::optional<std::string> previous =
                before ? before : reg.LatestSettings(revision.accountId);
            revision.changes = ChangesBetween(previous, *revision.settingsAfter);
            revision.summary = previous ? SummaryOf(revision.changes) : "first record";
        }
        id = reg.Record(revision);
    });
    return id;
}

std::string RegisterUse::TakeProblem() {
    if (problemSaid_ || problem_.empty()) {
        return {};
    }
    problemSaid_ = true;
    return problem_;
}

std::string RegisterUse::TakeNotice() {
    return std::exchange(notice_, std::string());
}

int ImportBackups(SiteRegister& reg, const settings::BackupStore& store, const Recorder& recorder) {
    const std::vector<settings::BackupEntry> entries = store.List();
    std::map<std::string, std::string> latest;  // each account's settings so far
    int imported = 0;
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
        const std::optional<std::string> bytes = FileBytes(entry->path.string());
        if (!bytes) {
            continue;
        }
        RevisionRecord revision;
        revision.when = entry->when;
        revision.kind = RevisionKind::kImportedBackup;
        revision.accountId = AccountIdOfSettings(*bytes).value_or(entry->accountId);
        revision.user = recorder.user;
        revision.computer = recorder.computer;
        revision.program = recorder.program;
        revision.firmware = entry->firmware;
        revision.outcome = "backup";
        revision.settingsAfter = bytes;
        revision.backupPath = entry->path.string();
        const auto previous = latest.find(revision.accountId);
        if (previous != latest.end()) {
            revision.changes = ChangesBetween(previous->second, *bytes);
            revision.summary = SummaryOf(revision.changes);
        } else {
            revision.summary = "first record";
        }
        latest[revision.accountId] = *bytes;
        reg.Record(revision);
        ++imported;
    }
    return imported;
}

}  // namespace quelvar::sites

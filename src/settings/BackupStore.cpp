#include "settings/BackupStore.h"

#include <algorithm>
#include <cctype>
#include <ctime>
#include <map>
#include <mutex>
#include <set>
#include <system_error>

#include "io/FileReplace.h"
#include "settings/SettingsCheck.h"
#include "settings/SettingsFile.h"

namespace quelvar::settings {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kExtension = ".am2";
constexpr std::size_t kStampLength = 19;  // 2026-12-09T15-30-12, then Z for UTC
constexpr std::size_t kMaxPartLength = 32;
// Names offered after the first free sequence number, should other programs take them first.
constexpr int kNamesOffered = 64;

// A device's text as a part of a file name: letters, digits, '.', '-' and '+'; anything else
// (the separator '_', path characters, bytes of the code page) becomes '-'.
std::string NamePart(std::string_view text) {
    std::string part;
    for (const char c : text.substr(0, kMaxPartLength)) {
        const bool plain = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
                           (c >= 'a' && c <= 'z') || c == '.' || c == '-' || c == '+';
        part += plain ? c : '-';
    }
    return part.empty() ? "unknown" : part;
}

std::tm BrokenDown(std::chrono::system_clock::time_point when, bool utc) {
    const std::time_t time = std::chrono::system_clock::to_time_t(when);
    std::tm fields{};
#ifdef _WIN32
    utc ? gmtime_s(&fields, &time) : localtime_s(&fields, &time);
#else
    utc ? gmtime_r(&time, &fields) : localtime_r(&time, &fields);
#endif
    return fields;
}

// In UTC, so that a change of time zone or the hour repeated at the end of summer time never
// puts an older backup after a newer one.
std::string Stamp(std::chrono::system_clock::time_point when) {
    const std::tm utc = BrokenDown(when, true);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H-%M-%SZ", &utc);
    return text;
}

// Local time, for people: "2026-12-09 15:30:12".
std::string ShownTime(std::chrono::system_clock::time_point when) {
    const std::tm local = BrokenDown(when, false);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

bool IsStamp(std::string_view text) {
    if (text.size() != kStampLength) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char expected = i == 10 ? 'T' : (i == 4 || i == 7 || i == 13 || i == 16) ? '-' : '0';
        const bool ok = expected == '0' ? (text[i] >= '0' && text[i] <= '9') : text[i] == expected;
        if (!ok) {
            return false;
        }
    }
    return true;
}

// The time a stamp names: with a Z in UTC, without one (names of earlier versions) in local
// time. Nothing for a date that does not exist.
std::optional<std::chrono::system_clock::time_point> TimeOfStamp(std::string_view stamp) {
    const bool utc = stamp.size() == kStampLength + 1 && stamp.back() == 'Z';
    if (!IsStamp(utc ? stamp.substr(0, kStampLength) : stamp)) {
        return std::nullopt;
    }
    auto number = [&](std::size_t at, std::size_t length) {
        return std::atoi(std::string(stamp.substr(at, length)).c_str());
    };
    std::tm fields{};
    fields.tm_year = number(0, 4) - 1900;
    fields.tm_mon = number(5, 2) - 1;
    fields.tm_mday = number(8, 2);
    fields.tm_hour = number(11, 2);
    fields.tm_min = number(14, 2);
    fields.tm_sec = number(17, 2);
    fields.tm_isdst = -1;
    const std::tm asGiven = fields;
#ifdef _WIN32
    const std::time_t time = utc ? _mkgmtime(&fields) : std::mktime(&fields);
#else
    const std::time_t time = utc ? timegm(&fields) : std::mktime(&fields);
#endif
    // A field out of its range (a 31st of April) is carried over by the conversion; the hour
    // alone may move, in a local time that the start of summer time skips.
    if (time == static_cast<std::time_t>(-1) || fields.tm_mday != asGiven.tm_mday ||
        fields.tm_mon != asGiven.tm_mon || fields.tm_min != asGiven.tm_min) {
        return std::nullopt;
    }
    return std::chrono::system_clock::from_time_t(time);
}

// The backups this program wrote: never pruned while it runs, whatever names other programs or
// a clock set ahead leave in the folder.
std::set<fs::path>& WrittenHere(std::unique_lock<std::mutex>& lock) {
    static std::mutex mutex;
    static std::set<fs::path> written;
    lock = std::unique_lock(mutex);
    return written;
}

std::vector<std::string> SplitAtUnderscores(std::string_view text) {
    std::vector<std::string> parts(1);
    for (const char c : text) {
        if (c == '_') {
            parts.emplace_back();
        } else {
            parts.back() += c;
        }
    }
    return parts;
}

// Nothing for a name that is not a backup's.
std::optional<BackupEntry> EntryOf(const fs::path& path) {
    std::string name = path.filename().string();
    if (!name.ends_with(kExtension)) {
        return std::nullopt;
    }
    name.resize(name.size() - kExtension.size());
    const std::vector<std::string> parts = SplitAtUnderscores(name);
    if (parts.size() < 3 || parts.size() > 4 || parts[1].empty() || parts[2].empty()) {
        return std::nullopt;
    }
    const std::optional<std::chrono::system_clock::time_point> when = TimeOfStamp(parts[0]);
    if (!when) {
        return std::nullopt;
    }
    BackupEntry entry;
    entry.path = path;
    entry.when = *when;
    entry.time = ShownTime(*when);
    entry.accountId = parts[1];
    entry.firmware = parts[2];
    if (parts.size() == 4) {
        entry.sequence = std::atoi(parts[3].c_str());
        if (entry.sequence < 2 || std::to_string(entry.sequence) != parts[3]) {
            return std::nullopt;
        }
    }
    return entry;
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

std::string Upper(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

// The folder, made owner-only when this creates it; the error, or empty.
std::string MakeFolder(const fs::path& folder) {
    if (folder.empty()) {
        return "no folder for backups: neither XDG_DATA_HOME nor HOME is set";
    }
    std::error_code ec;
    if (fs::is_directory(folder, ec)) {
        return {};
    }
    if (!fs::create_directories(folder, ec) && !fs::is_directory(folder)) {
        return "cannot create the folder " + folder.string() + ": " + ec.message();
    }
    fs::permissions(folder, fs::perms::owner_all, ec);
    return {};
}

}  // namespace

fs::path DefaultBackupFolder(const EnvironmentLookup& environment) {
    auto variable = [&](const char* name) -> std::string {
        const char* value = environment ? environment(name) : nullptr;
        return value != nullptr ? value : "";
    };
#ifdef _WIN32
    const std::string local = variable("LOCALAPPDATA");
    return local.empty() ? fs::path() : fs::path(local) / "Quelvar GSM" / "backups";
#else
    // Relative XDG paths are to be ignored, as the base-directory rules say.
    const std::string data = variable("XDG_DATA_HOME");
    if (!data.empty() && data.front() == '/') {
        return fs::path(data) / "quelvar-gsm" / "backups";
    }
    const std::string home = variable("HOME");
    return home.empty() ? fs::path() : fs::path(home) / ".local/share/quelvar-gsm/backups";
#endif
}

BackupSaveResult BackupStore::Save(std::string_view bytes, std::string_view accountId,
                                   std::string_view firmware,
                                   std::chrono::system_clock::time_point when) {
    BackupSaveResult result;
    if (std::string error = MakeFolder(folder_); !error.empty()) {
        result.error = std::move(error);
        return result;
    }
    const std::string stamp = Stamp(when);
    const std::string owner = "_" + Upper(NamePart(accountId)) + "_" + NamePart(firmware);
    // Several backups within one second (a restore right after a write) keep their order.
    const auto second = std::chrono::floor<std::chrono::seconds>(when);
    int sequence = 1;
    for (const BackupEntry& entry : List()) {
        if (entry.when == second) {
            sequence = std::max(sequence, entry.sequence + 1);
        }
    }
    // Another program may take a name between the look and the creation: the creation itself
    // refuses a taken name, and the next one is tried.
    std::vector<fs::path> names;
    for (int n = sequence; n < sequence + kNamesOffered; ++n) {
        const std::string suffix = n > 1 ? "_" + std::to_string(n) : "";
        names.push_back(folder_ / (stamp + owner + suffix + std::string(kExtension)));
    }
    io::NewFileResult created = io::CreateNewFile(names, bytes, io::NewFileAccess::kOwnerOnly);
    if (!created.error.empty()) {
        result.error = "cannot write " + names.front().string() + ": " + created.error;
        return result;
    }
    result.path = created.path;
    {
        std::unique_lock<std::mutex> lock;
        WrittenHere(lock).insert(created.path);
    }
    KeepBound();
    return result;
}

BackupSaveResult BackupStore::Save(const SettingsModel& model, int modeIndex,
                                   std::string_view firmware,
                                   std::chrono::system_clock::time_point when) {
    const std::optional<std::string> bytes = BuildSettingsFile("", model, modeIndex);
    if (!bytes) {
        return {{}, "a value holds a line break, which a settings file cannot hold"};
    }
    return Save(*bytes, AccountIdOf(model), firmware, when);
}

std::vector<BackupEntry> BackupStore::List(std::optional<std::string_view> accountId) const {
    std::vector<BackupEntry> entries;
    std::error_code ec;
    for (fs::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec)) {
        std::optional<BackupEntry> entry = EntryOf(it->path());
        if (entry && it->is_regular_file(ec) &&
            (!accountId || SameIgnoringCase(entry->accountId, NamePart(*accountId)))) {
            entries.push_back(std::move(*entry));
        }
    }
    std::sort(entries.begin(), entries.end(), [](const BackupEntry& a, const BackupEntry& b) {
        if (a.when != b.when) {
            return a.when > b.when;
        }
        return a.sequence != b.sequence ? a.sequence > b.sequence : a.path > b.path;
    });
    return entries;
}

std::optional<BackupEntry> BackupStore::NewestHolding(std::string_view accountId) const {
    // The name holds the account ID cut and cleaned, so it only narrows the search: the file's
    // own ACCID decides, byte for byte.
    for (BackupEntry& entry : List(accountId)) {
        const SettingsReadResult read = ReadSettingsFile(entry.path.string());
        if (read.content && read.content->Find(kAccountKey) == std::string(accountId)) {
            return std::move(entry);
        }
    }
    return std::nullopt;
}

void BackupStore::KeepBound() const {
    const std::vector<BackupEntry> entries = List();
    std::map<std::string, bool> accountSeen;
    std::unique_lock<std::mutex> lock;
    const std::set<fs::path>& writtenHere = WrittenHere(lock);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const bool newestOfAccount = !accountSeen[Upper(entries[i].accountId)];
        accountSeen[Upper(entries[i].accountId)] = true;
        if (i >= limit_ && !newestOfAccount && !writtenHere.contains(entries[i].path)) {
            std::error_code ec;
            fs::remove(entries[i].path, ec);
        }
    }
}

std::string AccountIdOf(const SettingsModel& model) {
    const std::optional<std::size_t> index = SettingIndex(kAccountKey);
    if (!index) {
        return {};
    }
    return ValuesOf(model, 0)[*index].value_or("");
}

}  // namespace quelvar::settings

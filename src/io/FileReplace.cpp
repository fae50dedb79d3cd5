#include "io/FileReplace.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <random>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quelvar::io {

namespace fs = std::filesystem;

namespace {

// A short name of its own in the target's folder, not the target's name with more after it: a
// name that the system just allows would otherwise leave no room for the temporary one. The
// random source is made for each name, so sessions saving at once on several threads share no
// generator state.
std::string TempName() {
    std::random_device source;
    const unsigned long long value =
        (static_cast<unsigned long long>(source()) << 32 | source()) & 0xFFFFFFFFFFFFull;
    char text[32];
    std::snprintf(text, sizeof text, ".qg-%012llx.tmp", value);
    return text;
}

std::string SystemReason(int error) {
    return std::strerror(error);
}

// What the new file takes over from the old one.
struct Ownership {
#ifndef _WIN32
    std::optional<struct stat> old;
#endif
    NewFileAccess access = NewFileAccess::kShared;
};

Ownership OwnershipOf(const fs::path& target, NewFileAccess access) {
    Ownership ownership;
    ownership.access = access;
#ifndef _WIN32
    struct stat info {};
    if (::stat(target.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
        ownership.old = info;
    }
#else
    (void)target;
#endif
    return ownership;
}

#ifdef _WIN32
// The C runtime of older Windows knows no "x" mode of fopen.
std::FILE* CreateExclusive(const fs::path& path, const Ownership&) {
    const int fd = _open(path.string().c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY,
                         _S_IREAD | _S_IWRITE);
    if (fd < 0) {
        return nullptr;
    }
    std::FILE* file = _fdopen(fd, "wb");
    if (file == nullptr) {
        _close(fd);
    }
    return file;
}

bool SyncToDisk(std::FILE* file) {
    return _commit(_fileno(file)) == 0;
}

void TakeOwnership(std::FILE*, const Ownership&) {}

void SyncFolder(const fs::path&) {}
#else
// Over an old file, created for its owner alone until TakeOwnership has given it the old
// file's owner, group and mode, so no one else can read the new bytes meanwhile.
std::FILE* CreateExclusive(const fs::path& path, const Ownership& ownership) {
    mode_t mode = ownership.access == NewFileAccess::kOwnerOnly ? 0600 : 0666;
    if (ownership.old) {
        mode = ownership.old->st_mode & 0700;
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) {
        return nullptr;
    }
    std::FILE* file = ::fdopen(fd, "wb");
    if (file == nullptr) {
        ::close(fd);
    }
    return file;
}

bool SyncToDisk(std::FILE* file) {
    return ::fsync(::fileno(file)) == 0;
}

// Owner and group first, since a change of owner may clear mode bits; either may be refused to
// a user who does not own the old file, which is no reason to stop.
void TakeOwnership(std::FILE* file, const Ownership& ownership) {
    if (!ownership.old) {
        return;
    }
    const int fd = ::fileno(file);
    if (::fchown(fd, ownership.old->st_uid, ownership.old->st_gid) != 0) {
        [[maybe_unused]] const int ignored =
            ::fchown(fd, static_cast<uid_t>(-1), ownership.old->st_gid);
    }
    [[maybe_unused]] const int kept = ::fchmod(fd, ownership.old->st_mode & 07777);
}

// The rename is only lasting once the folder that holds the names is on the disk too.
void SyncFolder(const fs::path& target) {
    fs::path folder = target.parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        [[maybe_unused]] const int synced = ::fsync(fd);
        ::close(fd);
    }
}
#endif

enum class PlaceOutcome { kPlaced, kNameTaken, kFailed };
struct PlaceResult {
    PlaceOutcome outcome = PlaceOutcome::kFailed;
    std::string error;
};

#ifdef _WIN32
// A move that does not replace fails when the name is taken.
PlaceResult PlaceExclusively(const fs::path& temp, const fs::path& target) {
    if (MoveFileExW(temp.wstring().c_str(), target.wstring().c_str(), MOVEFILE_WRITE_THROUGH)) {
        return {PlaceOutcome::kPlaced, {}};
    }
    const DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) {
        return {PlaceOutcome::kNameTaken, {}};
    }
    return {PlaceOutcome::kFailed, std::system_category().message(static_cast<int>(error))};
}
#else
// A hard link fails when the name is taken; where the file system has none, the name is taken
// first by an empty file made exclusively, which the complete one then replaces.
PlaceResult PlaceExclusively(const fs::path& temp, const fs::path& target) {
    if (::link(temp.c_str(), target.c_str()) == 0) {
        return {PlaceOutcome::kPlaced, {}};
    }
    if (errno == EEXIST) {
        return {PlaceOutcome::kNameTaken, {}};
    }
    if (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP && errno != EMLINK) {
        return {PlaceOutcome::kFailed, SystemReason(errno)};
    }
    const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        return {errno == EEXIST ? PlaceOutcome::kNameTaken : PlaceOutcome::kFailed,
                SystemReason(errno)};
    }
    ::close(fd);
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        const std::string reason = SystemReason(errno);
        ::unlink(target.c_str());
        return {PlaceOutcome::kFailed, reason};
    }
    return {PlaceOutcome::kPlaced, {}};
}
#endif

// A file beside the target that is removed again unless it has replaced the target.
class TempFile {
  public:
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    // Created exclusively, so a name that happens to be taken is never overwritten. On failure
    // `error` says why the folder took no new file.
    static std::optional<TempFile> CreateBeside(const fs::path& target, const Ownership& ownership,
                                                std::string& error) {
        error = "no new file can be created in its folder";
        for (int attempt = 0; attempt < 16; ++attempt) {
            const fs::path path = target.parent_path() / TempName();
            errno = 0;
            if (std::FILE* file = CreateExclusive(path, ownership)) {
                return std::optional<TempFile>(std::in_place, path, file);
            }
            const int cause = errno;
            if (cause != EEXIST) {
                if (cause != 0) {
                    error += " (" + SystemReason(cause) + ")";
                }
                break;  // not a clash of names: the folder refuses
            }
        }
        return std::nullopt;
    }

    TempFile(fs::path path, std::FILE* file) : path_(std::move(path)), file_(file) {}
    ~TempFile() {
        if (file_ != nullptr) {
            std::fclose(file_);
        }
        if (!committed_) {
            std::error_code ec;
            fs::remove(path_, ec);
        }
    }

    // Owner and mode set before the first byte, then every byte written and on the disk, and
    // the file closed.
    bool WriteAll(std::string_view bytes, const Ownership& ownership) {
        TakeOwnership(file_, ownership);
        const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size() &&
                             std::fflush(file_) == 0;
        const bool synced = written && SyncToDisk(file_);
        const bool closed = std::fclose(file_) == 0;
        file_ = nullptr;
        return synced && closed;
    }

    // One rename, so readers see the old file or the new one, never a mixture.
    std::error_code Replace(const fs::path& target) {
        std::error_code ec;
        fs::rename(path_, target, ec);
        committed_ = !ec;
        return ec;
    }

    // The complete file appears under the target's name only if no file has that name: one
    // step that fails when the name is taken, so two programs never share a name.
    // The temporary name goes with the object, as after a failure.
    PlaceResult PlaceNew(const fs::path& target) { return PlaceExclusively(path_, target); }

  private:
    fs::path path_;
    std::FILE* file_;
    bool committed_ = false;
};

}  // namespace

fs::path ResolveLinks(const fs::path& path) {
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(path, ec))) {
        if (fs::path resolved = fs::canonical(path, ec); !ec) {
            return resolved;
        }
    }
    return path;
}

bool SameFile(const fs::path& first, const fs::path& second) {
    std::error_code ec;
    if (fs::exists(first, ec) && fs::exists(second, ec)) {
        const bool same = fs::equivalent(first, second, ec);
        return same && !ec;
    }
    // A name that cannot be resolved (a loop of links) names no known file: two such names
    // would otherwise both resolve to the empty path and pass for one file.
    std::error_code firstError;
    std::error_code secondError;
    const fs::path a = fs::weakly_canonical(fs::absolute(first, firstError), firstError);
    const fs::path b = fs::weakly_canonical(fs::absolute(second, secondError), secondError);
    return !firstError && !secondError && a == b;
}

std::string ReplaceFileAtomically(const fs::path& path, std::string_view bytes,
                                  NewFileAccess access) {
    const fs::path target = ResolveLinks(path);
    const Ownership ownership = OwnershipOf(target, access);
    std::string error;
    std::optional<TempFile> temp = TempFile::CreateBeside(target, ownership, error);
    if (!temp) {
        return error;
    }
    if (!temp->WriteAll(bytes, ownership)) {
        return "the new file could not be written completely";
    }
    if (const std::error_code ec = temp->Replace(target)) {
        return "it could not be replaced: " + ec.message();
    }
    SyncFolder(target);
    return {};
}

NewFileResult CreateNewFile(const std::vector<std::filesystem::path>& names, std::string_view bytes,
                            NewFileAccess access) {
    NewFileResult result;
    if (names.empty()) {
        result.error = "no name to create";
        return result;
    }
    Ownership ownership;
    ownership.access = access;
    std::optional<TempFile> temp = TempFile::CreateBeside(names.front(), ownership, result.error);
    if (!temp) {
        return result;
    }
    if (!temp->WriteAll(bytes, ownership)) {
        result.error = "the new file could not be written completely";
        return result;
    }
    for (const fs::path& name : names) {
        const PlaceResult placed = temp->PlaceNew(name);
        if (placed.outcome == PlaceOutcome::kPlaced) {
            SyncFolder(name);
            result.path = name;
            result.error.clear();
            return result;
        }
        if (placed.outcome == PlaceOutcome::kFailed) {
            result.error = "it could not be created: " + placed.error;
            return result;
        }
    }
    result.error = "every name offered for it is taken";
    return result;
}

}  // namespace quelvar::io

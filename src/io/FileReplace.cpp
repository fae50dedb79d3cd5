#include "io/FileReplace.h"

#include <cstdio>
#include <optional>
#include <random>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quelvar::io {

namespace fs = std::filesystem;

namespace {

std::string TempSuffix() {
    static std::mt19937_64 generator{std::random_device{}()};
    char text[32];
    std::snprintf(text, sizeof text, ".%016llx.tmp", static_cast<unsigned long long>(generator()));
    return text;
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

// A file beside the target that is removed again unless it has replaced the target.
class TempFile {
  public:
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    // Created exclusively, so a name that happens to be taken is never overwritten.
    static std::optional<TempFile> CreateBeside(const fs::path& target,
                                                const Ownership& ownership) {
        for (int attempt = 0; attempt < 16; ++attempt) {
            fs::path path = target;
            path += TempSuffix();
            if (std::FILE* file = CreateExclusive(path, ownership)) {
                return std::optional<TempFile>(std::in_place, std::move(path), file);
            }
            std::error_code ec;
            if (!fs::exists(path, ec)) {
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
    const fs::path a = fs::weakly_canonical(fs::absolute(first, ec), ec);
    const fs::path b = fs::weakly_canonical(fs::absolute(second, ec), ec);
    return a == b;
}

std::string ReplaceFileAtomically(const fs::path& path, std::string_view bytes,
                                  NewFileAccess access) {
    const fs::path target = ResolveLinks(path);
    const Ownership ownership = OwnershipOf(target, access);
    std::optional<TempFile> temp = TempFile::CreateBeside(target, ownership);
    if (!temp) {
        return "no new file can be created in its folder";
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

}  // namespace quelvar::io

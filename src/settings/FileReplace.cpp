#include "settings/FileReplace.h"

#include <cstdio>
#include <random>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace quelvar::settings {

namespace fs = std::filesystem;

namespace {

std::string TempSuffix() {
    static std::mt19937_64 generator{std::random_device{}()};
    char text[32];
    std::snprintf(text, sizeof text, ".%016llx.tmp", static_cast<unsigned long long>(generator()));
    return text;
}

bool SyncToDisk(std::FILE* file) {
#ifdef _WIN32
    return _commit(_fileno(file)) == 0;
#else
    return fsync(fileno(file)) == 0;
#endif
}

// A file beside the target that is removed again unless it has replaced the target.
class TempFile {
  public:
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    // Created exclusively, so a name that happens to be taken is never overwritten.
    static std::optional<TempFile> CreateBeside(const fs::path& target) {
        for (int attempt = 0; attempt < 16; ++attempt) {
            fs::path path = target;
            path += TempSuffix();
            if (std::FILE* file = std::fopen(path.string().c_str(), "wbx")) {
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

    // Every byte written and on the disk, and the file closed.
    bool WriteAll(std::string_view bytes) {
        const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size() &&
                             std::fflush(file_) == 0 && SyncToDisk(file_);
        const bool closed = std::fclose(file_) == 0;
        file_ = nullptr;
        return written && closed;
    }

    // One rename, so readers see the old file or the new one, never a mixture.
    std::error_code Replace(const fs::path& target) {
        std::error_code ec;
        fs::rename(path_, target, ec);
        committed_ = !ec;
        return ec;
    }

    const fs::path& Path() const { return path_; }

  private:
    fs::path path_;
    std::FILE* file_;
    bool committed_ = false;
};

}  // namespace

std::string ReplaceFileAtomically(const fs::path& target, std::string_view bytes,
                                  std::optional<fs::perms> permissions) {
    std::optional<TempFile> temp = TempFile::CreateBeside(target);
    if (!temp) {
        return "no new file can be created in its folder";
    }
    if (!temp->WriteAll(bytes)) {
        return "the new file could not be written completely";
    }
    if (permissions) {
        // The file keeps who may read and change it; failing that is no reason to stop.
        std::error_code ec;
        fs::permissions(temp->Path(), *permissions, ec);
    }
    if (const std::error_code ec = temp->Replace(target)) {
        return "it could not be replaced: " + ec.message();
    }
    return {};
}

}  // namespace quelvar::settings

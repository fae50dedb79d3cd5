#include "settings/RecentFiles.h"

#include <algorithm>
#include <fstream>
#include <system_error>

#include "io/FileReplace.h"

namespace quelvar::settings {

namespace {

// A list far longer than it is kept is no list of ours.
constexpr std::uintmax_t kMaxStoreSize = 64 * 1024;

}  // namespace

std::vector<std::string> RecentFiles::List() const {
    std::vector<std::string> paths;
    std::error_code ec;
    if (store_.empty() || (std::filesystem::exists(store_, ec) &&
                           std::filesystem::file_size(store_, ec) > kMaxStoreSize)) {
        return paths;
    }
    std::ifstream in(store_, std::ios::binary);
    for (std::string line; paths.size() < kRecentFilesLimit && std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty() && std::find(paths.begin(), paths.end(), line) == paths.end()) {
            paths.push_back(line);
        }
    }
    return paths;
}

std::string RecentFiles::Add(const std::string& path) const {
    if (store_.empty() || path.empty() || path.find_first_of("\r\n") != std::string::npos) {
        return "the path cannot be kept in the list";
    }
    std::vector<std::string> paths = List();
    paths.erase(std::remove(paths.begin(), paths.end(), path), paths.end());
    paths.insert(paths.begin(), path);
    paths.resize(std::min(paths.size(), kRecentFilesLimit));
    std::string bytes;
    for (const std::string& kept : paths) {
        bytes += kept + "\n";
    }
    std::error_code ec;
    std::filesystem::create_directories(store_.parent_path(), ec);
    return io::ReplaceFileAtomically(store_, bytes, io::NewFileAccess::kOwnerOnly);
}

std::filesystem::path DefaultRecentFilesStore(const std::filesystem::path& backupFolder) {
    return backupFolder.empty() ? std::filesystem::path()
                                : backupFolder.parent_path() / "recent-files.txt";
}

}  // namespace quelvar::settings

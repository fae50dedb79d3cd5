#pragma once
// The settings files last opened or saved, newest first, kept in a small text file of the
// user's data folder (one path a line, as the system spells it) so that the window offers
// them again after a restart.

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace quelvar::settings {

inline constexpr std::size_t kRecentFilesLimit = 8;

class RecentFiles {
  public:
    explicit RecentFiles(std::filesystem::path store) : store_(std::move(store)) {}

    // The paths, newest first; none when there is no store, or it is missing, unreadable or too
    // large (64 KiB) to be a list of ours.
    std::vector<std::string> List() const;
    // Puts the path first (once), keeps the newest kRecentFilesLimit and writes the store. Empty
    // on success, else the error: also for an empty path, one with a line break, or no store. The
    // old list then stays as it was.
    std::string Add(const std::string& path) const;

  private:
    std::filesystem::path store_;
};

// Beside the backups folder: $XDG_DATA_HOME/quelvar-gsm/recent-files.txt and the like; empty
// when the backups folder is.
std::filesystem::path DefaultRecentFilesStore(const std::filesystem::path& backupFolder);

}  // namespace quelvar::settings

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

    // The paths, newest first; none when the store is missing or unreadable.
    std::vector<std::string> List() const;
    // Puts the path first (once), keeps the newest kRecentFilesLimit and writes the store. The
    // error, or empty; a list that cannot be kept loses nothing else.
    std::string Add(const std::string& path) const;

  private:
    std::filesystem::path store_;
};

// Beside the backups folder: $XDG_DATA_HOME/quelvar-gsm/recent-files.txt and the like; empty
// when the backups folder is.
std::filesystem::path DefaultRecentFilesStore(const std::filesystem::path& backupFolder);

}  // namespace quelvar::settings

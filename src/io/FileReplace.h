#pragma once
// Replacing a file in one step: the new bytes go to a file beside it, which then takes its
// place by one rename, so a reader finds the old file or the new one, never a mixture.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace quelvar::io {

// Who may read a file that did not exist before: everyone the process's umask lets, or the
// owner alone (for files that hold a password).
enum class NewFileAccess { kShared, kOwnerOnly };

// The file a symbolic link names (the path itself for anything else, and for a link that cannot
// be followed: it names nothing, or links loop): what a save replaces. Never fails.
std::filesystem::path ResolveLinks(const std::filesystem::path& path);

// True when both names reach one file: the same device and file number where both exist (links
// followed), else the same path once links and "." and ".." are resolved. False when both exist
// but cannot be compared.
bool SameFile(const std::filesystem::path& first, const std::filesystem::path& second);

// Empty on success, else what went wrong (the target then stays as it was and no temporary
// file is left). A symbolic link stays and the file it names is replaced. An existing file keeps
// its owner, group and mode as far as the process may set them; the new bytes are never readable
// by more users than the old file was, not even while they are written. The folder is synced
// after the rename.
std::string ReplaceFileAtomically(const std::filesystem::path& target, std::string_view bytes,
                                  NewFileAccess access = NewFileAccess::kShared);

struct NewFileResult {
    std::filesystem::path path;  // the name it got; empty when none
    std::string error;           // why not, one line; empty on success
};

// Writes the bytes as a new file under the first of `names` that no file holds, never over
// an existing file, not even one created by another program in the same instant: the
// complete file takes its name in one step that fails when the name is taken. All names are
// in one folder. No path, and `error` saying why, when `names` is empty, every name is taken, or
// the file cannot be written or placed; no file of its own is left then.
NewFileResult CreateNewFile(const std::vector<std::filesystem::path>& names, std::string_view bytes,
                            NewFileAccess access);

}  // namespace quelvar::io

#pragma once
// Replacing a file in one step: the new bytes go to a file beside it, which then takes its
// place by one rename, so a reader finds the old file or the new one, never a mixture.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace quelvar::settings {

// Empty on success, else what went wrong (the target then stays as it was and no temporary
// file is left). `permissions`, when given, are put on the new file.
std::string ReplaceFileAtomically(const std::filesystem::path& target, std::string_view bytes,
                                  std::optional<std::filesystem::perms> permissions = std::nullopt);

}  // namespace quelvar::settings

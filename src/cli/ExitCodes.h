#pragma once
// The exit codes scripts rely on.

namespace quelvar::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitNoDevice = 1;  // not found, went away, or stopped answering
inline constexpr int kExitBadPassword = 2;
inline constexpr int kExitBadFile = 3;  // not a settings file, unreadable, or cannot be written
inline constexpr int kExitNothingFound = 1;  // a search (codes) that found nothing
inline constexpr int kExitMismatch = 4;
inline constexpr int kExitOutput = 5;  // standard output did not take everything printed
inline constexpr int kExitUsage = 64;

}  // namespace quelvar::cli

#pragma once
// CPU time and start-up of the window program.

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace quelvar::bench {

// Runs the window program (offscreen) with the arguments and returns the CPU it used over
// `span`, after `warmUp`, as a percentage of one core. Nothing where processes cannot be
// measured this way.
std::optional<double> IdleCpuPercent(const std::vector<std::string>& arguments,
                                     std::chrono::seconds warmUp, std::chrono::seconds span);

// Milliseconds from this process's start until now; nothing where it cannot be told.
std::optional<double> MsSinceProcessStart();

}  // namespace quelvar::bench

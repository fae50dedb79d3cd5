#pragma once
// A short name for the USB port a communicator's interface path leads to, for lists that a
// person reads beside the full path.

#include <string>

namespace quelvar::link {

// "1-1.2" for a Linux hidraw node whose device hangs on that USB port; the instance part of a
// Windows interface path; "#2" for the second simulated communicator; otherwise the path's last
// part. Never fails: the path itself at worst.
std::string ShortPortName(const std::string& path);

}  // namespace quelvar::link

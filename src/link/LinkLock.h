#pragma once
// The one process-wide link lock: everything the receiver thread stores is guarded by it.

#include <mutex>

namespace quelvar::link {

std::mutex& LinkLock();

}  // namespace quelvar::link

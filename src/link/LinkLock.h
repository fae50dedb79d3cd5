#pragma once
// The one process-wide link lock: everything a receiver thread stores, of every connection, is
// guarded by it. Outside the link it is taken through ConnHIDCOM::Lock and Unlock.

#include <mutex>

namespace quelvar::link {

std::mutex& LinkLock();

}  // namespace quelvar::link

#include "link/LinkLock.h"

namespace quelvar::link {

std::mutex& LinkLock() {
    // Exists from first use on, so the window can take it on its first tick.
    static std::mutex lock;
    return lock;
}

}  // namespace quelvar::link

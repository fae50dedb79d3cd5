#pragma once
// An exclusive lock on a file beside another, held for one run, so that two runs on one
// simulated device never lose each other's writes. The lock file stays; removing it would let
// a third run lock a new file while the second still holds the old one.

#include <chrono>
#include <functional>
#include <string>

namespace quelvar::io {

class FileLock {
  public:
    FileLock() = default;
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Waits up to `wait` for the lock on `path` (created if missing), or until `giveUp` says so.
    // Empty on success; "in use" when another holder kept it past `wait` or `giveUp` ended the
    // wait; else the one-line reason (the lock file cannot be made or locked).
    std::string Acquire(const std::string& path, std::chrono::milliseconds wait,
                        const std::function<bool()>& giveUp = {});

  private:
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int fd_ = -1;
#endif
};

}  // namespace quelvar::io

#include "io/FileLock.h"

#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <cerrno>
#endif

namespace quelvar::io {

namespace {

constexpr std::chrono::milliseconds kRetry{50};

}  // namespace

#ifdef _WIN32
FileLock::~FileLock() {
    if (handle_ != nullptr) {
        CloseHandle(handle_);
    }
}

std::string FileLock::Acquire(const std::string& path, std::chrono::milliseconds wait,
                              const std::function<bool()>& giveUp) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        // Opened without sharing: a second opener fails until the first closes it.
        HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            handle_ = handle;
            return {};
        }
        if (GetLastError() != ERROR_SHARING_VIOLATION) {
            return "Cannot create the lock file " + path;
        }
        if (std::chrono::steady_clock::now() >= deadline || (giveUp && giveUp())) {
            return "in use";
        }
        std::this_thread::sleep_for(kRetry);
    }
}
#else
FileLock::~FileLock() {
    if (fd_ >= 0) {
        ::close(fd_);  // releases the lock
    }
}

std::string FileLock::Acquire(const std::string& path, std::chrono::milliseconds wait,
                              const std::function<bool()>& giveUp) {
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ < 0) {
        return "Cannot create the lock file " + path;
    }
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            ::close(fd_);
            fd_ = -1;
            return "Cannot lock " + path;
        }
        if (std::chrono::steady_clock::now() >= deadline || (giveUp && giveUp())) {
            ::close(fd_);
            fd_ = -1;
            return "in use";
        }
        std::this_thread::sleep_for(kRetry);
    }
    return {};
}
#endif

}  // namespace quelvar::io

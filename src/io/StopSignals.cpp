#include "io/StopSignals.h"

#include <atomic>
#include <cerrno>
#include <csignal>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace quelvar::io {

namespace {

// Lock-free, so the handler may set it, also from the thread that Windows runs it on.
std::atomic<int> caught{0};
static_assert(std::atomic<int>::is_always_lock_free);

#ifdef _WIN32
std::atomic<HANDLE> wakeEvent{nullptr};
#else
// [0] read, [1] written by the handler.
std::atomic<int> wakePipe[2] = {-1, -1};
static_assert(std::atomic<int>::is_always_lock_free);
#endif

extern "C" void NoteSignal(int signal) {
    caught = signal;
#ifdef _WIN32
    std::signal(signal, NoteSignal);  // the runtime resets the handler at each signal
    if (HANDLE event = wakeEvent.load(); event != nullptr) {
        SetEvent(event);
    }
#else
    const int savedErrno = errno;  // the interrupted code may be about to read it
    if (const int fd = wakePipe[1].load(); fd >= 0) {
        const char byte = 1;
        // A full pipe already holds a wake-up.
        [[maybe_unused]] const ssize_t written = write(fd, &byte, 1);
    }
    errno = savedErrno;
#endif
}

void MakeWake() {
#ifdef _WIN32
    if (wakeEvent.load() == nullptr) {
        wakeEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
#else
    if (wakePipe[0].load() >= 0) {
        return;
    }
    int fds[2];
    if (pipe(fds) != 0) {
        return;  // the flag still serves whoever looks at it
    }
    for (const int fd : fds) {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    wakePipe[0] = fds[0];
    wakePipe[1] = fds[1];
#endif
}

}  // namespace

void NoteStopSignals([[maybe_unused]] bool restartInterruptedCalls) {
    MakeWake();
#ifdef _WIN32
    std::signal(SIGINT, NoteSignal);
    std::signal(SIGTERM, NoteSignal);
#else
    struct sigaction action {};
    action.sa_handler = NoteSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = restartInterruptedCalls ? SA_RESTART : 0;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
#endif
}

int StopSignal() {
    return caught;
}

#ifdef _WIN32
void* StopSignalEvent() {
    return wakeEvent.load();
}
#else
int StopSignalPipe() {
    return wakePipe[0].load();
}
#endif

}  // namespace quelvar::io

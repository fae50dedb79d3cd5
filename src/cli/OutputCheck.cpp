#include "cli/OutputCheck.h"

#include <cerrno>
#include <cstring>
#include <iostream>
#include <streambuf>
#include <string>

#include "cli/ExitCodes.h"

#ifdef _WIN32
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace quelvar::cli {

namespace {

constexpr int kOutput = 1;

#ifdef _WIN32
int WriteSome(const char* bytes, std::size_t size) {
    return ::_write(kOutput, bytes, static_cast<unsigned>(size));
}
bool IsTerminal() {
    return ::_isatty(kOutput) != 0;
}
#else
long WriteSome(const char* bytes, std::size_t size) {
    return ::write(kOutput, bytes, size);
}
bool IsTerminal() {
    return ::isatty(kOutput) != 0;
}
#endif

// Standard output written by the program itself, so that the first failure keeps its reason
// (the C library's stream forgets it) and a write cut short by a signal goes on where it
// stopped. On a terminal each line goes out as it is printed.
class CheckedOutput : public std::streambuf {
  public:
    CheckedOutput() : terminal_(IsTerminal()) { setp(buffer_, buffer_ + sizeof buffer_); }

    int Cause() const { return cause_; }
    // Standard output was closed when the program started: the first byte printed fails.
    void SetClosed() { closed_ = true; }

  protected:
    int_type overflow(int_type c) override {
        if (!Drain()) {
            return traits_type::eof();
        }
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }

    std::streamsize xsputn(const char* bytes, std::streamsize size) override {
        const std::streamsize put = std::streambuf::xsputn(bytes, size);
        if (terminal_ && std::memchr(bytes, '\n', static_cast<std::size_t>(size)) != nullptr) {
            Drain();
        }
        return put;
    }

    int sync() override { return Drain() ? 0 : -1; }

  private:
    // Once a write has failed the rest is dropped: the end of the program says so.
    bool Drain() {
        if (closed_ && pptr() > pbase()) {
            cause_ = EBADF;
        }
        for (const char* at = pbase(); cause_ == 0 && at < pptr();) {
            const auto written = WriteSome(at, static_cast<std::size_t>(pptr() - at));
            if (written < 0) {
                cause_ = errno == EINTR ? 0 : errno;
                continue;
            }
            at += written;
        }
        setp(buffer_, buffer_ + sizeof buffer_);
        return cause_ == 0;
    }

    char buffer_[1 << 16];
    bool terminal_;
    bool closed_ = false;
    int cause_ = 0;
};

// Never destroyed: std::cout flushes through it while the program's statics are destroyed.
CheckedOutput& Output() {
    static CheckedOutput* const output = new CheckedOutput;
    return *output;
}

}  // namespace

void TakeStandardOutput() {
#ifndef _WIN32
    if (::fcntl(kOutput, F_GETFD) == -1 && errno == EBADF) {
        Output().SetClosed();
        // /dev/null takes the number (the lowest free one), so that no file opened later does.
        const int fd = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (fd >= 0 && fd != kOutput) {
            ::close(fd);
        }
    }
#endif
    std::cout.rdbuf(&Output());
}

int CheckStandardOutput(int code) {
    std::cout.flush();
    int cause = Output().Cause();
#ifndef _WIN32
    // Only the close tells of an error that a file system keeps until then (NFS, say).
    if (cause == 0 && ::close(kOutput) != 0 && errno != EINTR) {
        cause = errno;
    }
#endif
    if (cause == 0 && std::cout) {
        return code;
    }
    std::cerr << "write error: "
              << (cause != 0 ? std::strerror(cause) : "not all of the output was written") << "\n";
    return kExitOutput;
}

}  // namespace quelvar::cli

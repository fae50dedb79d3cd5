#include "cli/PasswordSource.h"

#include <fstream>
#include <iostream>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <termios.h>
#include <unistd.h>
#endif

namespace quelvar::cli {

namespace {

std::string Trimmed(std::string text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.back())) {
        text.pop_back();
    }
    std::size_t start = 0;
    while (start < text.size() && blank(text[start])) {
        ++start;
    }
    return text.substr(start);
}

#ifdef _WIN32
bool InputIsTerminal() {
    return _isatty(_fileno(stdin)) != 0;
}

// Echo off for its lifetime.
class NoEcho {
  public:
    NoEcho() : input_(GetStdHandle(STD_INPUT_HANDLE)) {
        saved_ = GetConsoleMode(input_, &mode_) != 0;
        if (saved_) {
            SetConsoleMode(input_, mode_ & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
        }
    }
    ~NoEcho() {
        if (saved_) {
            SetConsoleMode(input_, mode_);
        }
    }
    NoEcho(const NoEcho&) = delete;
    NoEcho& operator=(const NoEcho&) = delete;

  private:
    HANDLE input_;
    DWORD mode_ = 0;
    bool saved_ = false;
};
#else
bool InputIsTerminal() {
    return ::isatty(STDIN_FILENO) != 0;
}

// Echo off for its lifetime, so an interrupted prompt leaves the terminal as it was.
class NoEcho {
  public:
    NoEcho() {
        saved_ = ::tcgetattr(STDIN_FILENO, &mode_) == 0;
        if (saved_) {
            termios quiet = mode_;
            quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
            ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
        }
    }
    ~NoEcho() {
        if (saved_) {
            ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &mode_);
        }
    }
    NoEcho(const NoEcho&) = delete;
    NoEcho& operator=(const NoEcho&) = delete;

  private:
    termios mode_{};
    bool saved_ = false;
};
#endif

}  // namespace

std::optional<std::string> ReadPasswordFile(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    if (!in || !std::getline(in, line)) {
        error = "Unable to read the password from " + path;
        return std::nullopt;
    }
    return Trimmed(line);
}

PasswordPrompt TerminalPrompt(std::ostream& err) {
    return [&err]() -> std::optional<std::string> {
        if (!InputIsTerminal()) {
            return std::nullopt;
        }
        err << "Password of the communicator: " << std::flush;
        std::string line;
        bool typed = false;
        {
            NoEcho noEcho;
            typed = static_cast<bool>(std::getline(std::cin, line));
        }
        err << "\n";
        if (!typed) {
            return std::nullopt;
        }
        return Trimmed(line);
    };
}

}  // namespace quelvar::cli

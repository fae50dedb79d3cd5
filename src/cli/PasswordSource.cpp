#include "cli/PasswordSource.h"

#include <algorithm>
#include <filesystem>
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

std::optional<std::string> ReadPasswordFile(const std::string& path, std::string& error,
                                            std::string& warning) {
    std::ifstream in(path, std::ios::binary);
    // One byte more than a line may hold tells a longer line from one that ends the file.
    std::string head(kUtf8Bom.size() + kMaxPasswordLine + 1, '\0');
    if (in) {
        in.read(head.data(), static_cast<std::streamsize>(head.size()));
    }
    if (!in && !in.eof()) {
        error = "Unable to read the password from " + path;
        return std::nullopt;
    }
    head.resize(static_cast<std::size_t>(in.gcount()));
    if (head.starts_with(kUtf8Bom)) {
        head.erase(0, kUtf8Bom.size());
    }
    // A line may end in CR LF, LF or a CR alone, as in the settings files.
    const std::size_t end = std::min(head.find_first_of("\r\n"), head.size());
    if (end > kMaxPasswordLine) {
        error = "The first line of the password file " + path + " is longer than " +
                std::to_string(kMaxPasswordLine) + " bytes";
        return std::nullopt;
    }
#ifndef _WIN32
    std::error_code ec;
    const auto perms = std::filesystem::status(path, ec).permissions();
    const auto othersMayRead =
        std::filesystem::perms::group_read | std::filesystem::perms::others_read;
    if (!ec && (perms & othersMayRead) != std::filesystem::perms::none) {
        warning = "Warning: other users may read the password file " + path +
                  "; make it readable by its owner alone (chmod 600)";
    }
#else
    static_cast<void>(warning);  // Windows keeps no such mode bits
#endif
    return Trimmed(head.substr(0, end));
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

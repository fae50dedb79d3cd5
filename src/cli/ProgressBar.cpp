#include "cli/ProgressBar.h"

#include <algorithm>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#define QUELVAR_ISATTY(fd) _isatty(fd)
#else
#include <sys/ioctl.h>
#include <unistd.h>
#define QUELVAR_ISATTY(fd) isatty(fd)
#endif

namespace quelvar::cli {

namespace {

constexpr int kBarCells = 30;
constexpr int kMinBarCells = 5;
constexpr int kStderr = 2;
// " [", "] ", "100% (8192/8192)" and a spare column, so the cursor never wraps.
constexpr int kBarFrame = 4 + 17 + 1;

// The width of the terminal on standard error; 80 when it cannot be told.
int TerminalColumns() {
#ifdef _WIN32
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info)) {
        return info.srWindow.Right - info.srWindow.Left + 1;
    }
#else
    winsize size{};
    if (ioctl(kStderr, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
#endif
    return 80;
}

}  // namespace

bool StandardOutputIsTerminal() {
    return QUELVAR_ISATTY(1) != 0;
}

ProgressBar::Style ProgressBar::StyleFor(bool quiet) {
    if (quiet) {
        return Style::kNone;
    }
    return QUELVAR_ISATTY(kStderr) ? Style::kBar : Style::kLines;
}

void ProgressBar::Begin(const std::string& stage, int maximum) {
    End();
    stage_ = stage;
    maximum_ = std::max(maximum, 0);
    position_ = 0;
    drawnCells_ = -1;
    open_ = true;
    if (style_ == Style::kLines) {
        err_ << stage_ << "...\n" << std::flush;
    } else if (style_ == Style::kBar) {
        Draw();
    }
}

void ProgressBar::Advance(int position) {
    if (!open_ || position <= position_) {
        return;
    }
    position_ = std::min(position, maximum_);
    if (style_ == Style::kBar) {
        Draw();
    }
}

void ProgressBar::End() {
    if (!open_) {
        return;
    }
    open_ = false;
    if (style_ == Style::kBar) {
        err_ << "\n" << std::flush;
    }
}

void ProgressBar::Draw() {
    const int room = TerminalColumns() - static_cast<int>(stage_.size()) - kBarFrame;
    const int barCells = std::clamp(room, kMinBarCells, kBarCells);
    const int cells =
        maximum_ > 0 ? static_cast<int>(static_cast<long long>(position_) * barCells / maximum_)
                     : 0;
    if (cells == drawnCells_) {
        return;  // a redraw per block would flood a slow terminal
    }
    drawnCells_ = cells;
    const int percent =
        maximum_ > 0 ? static_cast<int>(static_cast<long long>(position_) * 100 / maximum_) : 0;
    err_ << "\r" << stage_ << " [" << std::string(static_cast<std::size_t>(cells), '#')
         << std::string(static_cast<std::size_t>(barCells - cells), ' ') << "] " << percent << "% ("
         << position_ << "/" << maximum_ << ")" << std::flush;
}

exchange::DeviceSession::Progress ProgressBar::Callbacks() {
    return {[this](const std::string& stage, int maximum) { Begin(stage, maximum); },
            [this](int position) { Advance(position); },
            [this](const std::string&, bool) { End(); },
            {}};
}

}  // namespace quelvar::cli

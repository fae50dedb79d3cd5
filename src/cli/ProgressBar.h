#pragma once
// Progress of a transfer on standard error: on a terminal a bar redrawn in place, elsewhere one
// line per stage, so that logs stay readable; nothing at all when quiet.

#include <ostream>
#include <string>

#include "exchange/DeviceSession.h"

namespace quelvar::cli {

bool StandardOutputIsTerminal();

class ProgressBar {
  public:
    enum class Style { kNone, kLines, kBar };

    ProgressBar(std::ostream& err, Style style) : err_(err), style_(style) {}
    ~ProgressBar() { End(); }
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    // kNone when quiet, kBar when standard error is a terminal, else kLines.
    static Style StyleFor(bool quiet);
    bool Quiet() const { return style_ == Style::kNone; }

    void Begin(const std::string& stage, int maximum);
    // Positions below the highest so far are not drawn: an erase pass comes before the writes.
    void Advance(int position);
    // Ends the stage's line; a message printed next starts on a line of its own.
    void End();

    // Callbacks for a device session that draw on this bar.
    exchange::DeviceSession::Progress Callbacks();

  private:
    void Draw();

    std::ostream& err_;
    Style style_;
    std::string stage_;
    int maximum_ = 0;
    int position_ = 0;
    int drawnCells_ = -1;
    bool open_ = false;
};

}  // namespace quelvar::cli

#pragma once
// The session's stages for the progress callbacks; only the session's own sources use it.

#include <string>
#include <utility>

#include "exchange/DeviceSession.h"

namespace quelvar::exchange {

// Brackets one stage for the progress callbacks, however the stage ends.
class DeviceSession::Stage {
  public:
    Stage(DeviceSession& session, const std::string& name, int maximum)
        : session_(session), maximum_(maximum) {
        session_.stage_ = name;
        if (session_.progress_.begin) {
            session_.progress_.begin(name, maximum);
        }
    }
    ~Stage() {
        const std::string name = std::exchange(session_.stage_, std::string());
        if (session_.progress_.end) {
            session_.progress_.end(name, !session_.Failed());
        }
    }
    Stage(const Stage&) = delete;
    Stage& operator=(const Stage&) = delete;

    void Step() {
        if (session_.progress_.advance) {
            session_.progress_.advance(++position_);
        }
    }
    // A transfer reports the start of its last block, not its end.
    void Finish() {
        if (session_.progress_.advance) {
            session_.progress_.advance(maximum_);
        }
    }

  private:
    DeviceSession& session_;
    int maximum_;
    int position_ = 0;
};

}  // namespace quelvar::exchange

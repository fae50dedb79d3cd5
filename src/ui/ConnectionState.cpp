#include "ui/ConnectionState.h"

namespace quelvar::ui {

ConnectionState::State ConnectionState::Now() const {
    if (!connectedShown_) {
        return State::kNoDevice;
    }
    return loggedIn_ != 0 && loggedIn_ == connected_ ? State::kLoggedIn : State::kAttached;
}

void ConnectionState::Saw(bool attached, std::uint64_t attachment) {
    seenAttached_ = attached;
    if (!attached) {
        ticksAttached_ = 0;
        return;
    }
    seen_ = attachment;
    if (ticksAttached_ <= kTicksBeforeStatus) {  // counts no further than it needs
        ++ticksAttached_;
    }
}

bool ConnectionState::TransitionDue() const {
    const bool replugged = seenAttached_ && connectedShown_ && seen_ != connected_;
    return replugged || seenAttached_ != connectedShown_;
}

void ConnectionState::Connected() {
    connectedShown_ = true;
    connected_ = seen_;
    loggedIn_ = 0;
}

void ConnectionState::Disconnected() {
    connectedShown_ = false;
    loggedIn_ = 0;
}

}  // namespace quelvar::ui

#include "ui/ConnectionState.h"

namespace quelvar::ui {

ConnectionState::State ConnectionState::Now() const {
    if (!connectedShown) {
        return State::kNoDevice;
    }
    return loggedIn_ != 0 && loggedIn_ == connected_ ? State::kLoggedIn : State::kAttached;
}

void ConnectionState::Saw(bool attached, std::uint64_t attachment) {
    deviceAttached = attached;
    if (!attached) {
        attachedTicks = 0;
        return;
    }
    seen_ = attachment;
    if (attachedTicks <= kTicksBeforeStatus) {  // counts no further than it needs
        ++attachedTicks;
    }
}

bool ConnectionState::TransitionDue() const {
    const bool replugged = deviceAttached && connectedShown && seen_ != connected_;
    return replugged || deviceAttached != connectedShown;
}

void ConnectionState::Connected() {
    connectedShown = true;
    connected_ = seen_;
    loggedIn_ = 0;
}

void ConnectionState::Disconnected() {
    connectedShown = false;
    loggedIn_ = 0;
}

}  // namespace quelvar::ui

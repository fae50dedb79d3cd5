#pragma once
// What the window knows of the device, in one place: what the monitor last saw, what the window
// shows, which attachment the connect transition ran for and which one a password was accepted
// for. The monitor's ticks, the transitions and the log-in change it only through these calls;
// attachment numbers are link::ConnHIDCOM::Attachment's (0: none).

#include <cstdint>

namespace quelvar::ui {

class ConnectionState {
  public:
    enum class State {
        kNoDevice,  // none is shown as connected
        kAttached,  // one is shown as connected but not logged in (a cancelled password,
                    // an unreadable one, a log-in the device did not answer)
        kLoggedIn,  // the window shows its settings and writes go to it
    };
    State Now() const;

    // A tick of the monitor saw the link. Status texts are shown from the fifth tick of an
    // attachment on (StatusDue), when the device has sent a round of them.
    void Saw(bool attached, std::uint64_t attachment);
    bool SeenAttached() const { return deviceAttached; }
    bool StatusDue() const { return attachedTicks > kTicksBeforeStatus; }
    // A device came or went since the window last followed, or was swapped while the
    // transitions were held (then only its attachment number tells it from the one shown).
    bool TransitionDue() const;

    // The transitions. Connected: the device seen is shown, not yet logged in.
    void Connected();
    void Disconnected();
    void LoggedIn() { loggedIn_ = connected_; }
    void LogInFailed() { loggedIn_ = 0; }

    bool ConnectedShown() const { return connectedShown; }
    // Whether the attachment now under way is the one shown, or the one logged in.
    bool IsConnected(std::uint64_t now) const { return now == connected_; }
    bool IsLoggedIn(std::uint64_t now) const {
        return connectedShown && now != 0 && now == loggedIn_;
    }

    // A due transition waits while a dialog or a sequence runs; its end catches up.
    void Hold(bool held) { held_ = held; }
    bool Held() const { return held_; }

  private:
    static constexpr int kTicksBeforeStatus = 4;

    // The monitor's state under the design's names: what the last tick saw, for how many ticks
    // in a row, and whether the window shows a device as connected.
    bool deviceAttached = false;
    std::uint64_t seen_ = 0;
    int attachedTicks = 0;
    bool connectedShown = false;
    std::uint64_t connected_ = 0;
    std::uint64_t loggedIn_ = 0;
    bool held_ = false;
};

}  // namespace quelvar::ui

#pragma once
// The connection monitor: each tick of the window's clock follows the link, shows the device's
// live state and runs the transition that became due (connect, disconnect), unless a dialog or
// a device sequence holds it back; their end catches up.

#include <QObject>
#include <functional>
#include <memory>

#include "link/ConnHIDCOM.h"
#include "ui/ConnectionState.h"

namespace quelvar::ui {

struct MainControls;

class ConnectionMonitor {
  public:
    struct Transitions {
        std::function<void()> connect;
        std::function<void()> disconnect;
        // A modal dialog or a device sequence holds the transitions back.
        std::function<bool()> held;
        // A tick of the window's clock, run at once.
        std::function<void()> tick;
    };
    // The connection is the window's (none before it is shown); context ends the catch-ups.
    ConnectionMonitor(const std::unique_ptr<link::ConnHIDCOM>& connection, MainControls& ui,
                      QObject* context, Transitions transitions);

    // One tick: what the link saw, the status texts, the device log, the transition due.
    void Follow();
    // A zero-delay tick once nothing holds the transitions any more.
    void CatchUpSoon();
    // Whether the attached device is the one the connect transition ran for.
    bool SameAttachmentAsConnected() const;
    bool DeviceLoggedIn() const;
    // A log-in can start now: the device shown as connected is attached, no sequence runs.
    bool LogInPossible(bool sequenceRunning) const;
    bool NoDeviceAttached() const { return !connection_ || connection_->Attachment() == 0; }
    // True while the attached device is the one the last log-in accepted (pinned for the
    // running sequence); otherwise says in status panel 2 why nothing may be sent.
    bool LoggedInDevice();

    ConnectionState& State() { return deviceState_; }
    const ConnectionState& State() const { return deviceState_; }

  private:
    void RunDueTransitions();
    void ShowPermissionProblem(bool denied);

    const std::unique_ptr<link::ConnHIDCOM>& connection_;
    MainControls& ui_;
    QObject* context_;
    Transitions transitions_;
    ConnectionState deviceState_;
    bool permissionShown_ = false;
};

}  // namespace quelvar::ui

#pragma once
// Attach/detach notifications: "Attached" or "Detached", delivered on the receiver thread.

#include <string>

#include "link/ConnectionInterface.h"

namespace quelvar::link {

class ConnHIDCOM;

inline constexpr const char* kStateAttached = "Attached";
inline constexpr const char* kStateDetached = "Detached";

class ChangeStateEvent {
  public:
    virtual ~ChangeStateEvent() = default;
    virtual void OnChangeState(const std::string& state) = 0;
};

class OnChangeStateList : public PointerList<ChangeStateEvent> {};

// Passes the device's state changes on to the listeners of its connection.
class HIDChangeStateEvent : public ChangeStateEvent {
  public:
    explicit HIDChangeStateEvent(ConnHIDCOM* owner) : owner_(owner) {}
    void OnChangeState(const std::string& state) override;

  private:
    ConnHIDCOM* owner_;
};

}  // namespace quelvar::link

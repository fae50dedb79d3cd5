#pragma once
// The device sequences of a whole session with the communicator, for any front end: the password
// check of the log-in, reading everything the initial read reads, writing everything as a
// write-back does, and the password change. Progress goes to callbacks. A session can give up on
// a device that has gone silent instead of waiting out every remaining command.

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "exchange/DeviceExchange.h"
#include "exchange/DevicePassword.h"
#include "exchange/EventTables.h"
#include "settings/Catalogue.h"

namespace quelvar::exchange {

// Operating modes as the mode index of the settings file and the window.
inline constexpr int kStandaloneMode = 0;
inline constexpr int kTransparentMode = 1;

struct ReadAllResult {
    int modeIndex = kTransparentMode;  // anything but exactly "Standalone" is Transparent
    // In Standalone mode "GACK", "0000" for a text that is not four characters; else empty.
    std::string ackMask;
    std::optional<std::string> firmwareVersion;  // "VSTR"; nothing when unanswered
    EventReadOutcome alarms = EventReadOutcome::kNoDevice;
    EventReadOutcome inputs = EventReadOutcome::kNoDevice;
    // Settings keys ("SMODE" included) whose request went unanswered; they read as empty.
    std::vector<std::string> unansweredKeys;

    bool Complete() const {
        return unansweredKeys.empty() && alarms == EventReadOutcome::kRead &&
               inputs == EventReadOutcome::kRead;
    }
};

// Why a session stopped early.
enum class SessionFault {
    kNone,
    kDetached,  // the device went away (or there is no device object)
    kSilent,    // attached, but nothing was answered for the silence limit
    kStopped,   // the exchange's stopRequested hook said so; nothing more is sent
};

class DeviceSession {
  public:
    struct Progress {
        // A stage begins: its name and the number of steps (parameters, or bytes of a table).
        std::function<void(const std::string& stage, int maximum)> begin;
        std::function<void(int position)> advance;
        // The stage ended, completed or not.
        std::function<void()> end;
    };

    // Made once the connection is open. A zero silence limit waits out every command, as the
    // exchange does on its own; past the limit the device's acknowledgement wait is cut to zero
    // until the session ends. The session takes over the exchange's progress hook (passing it
    // on) for its lifetime.
    DeviceSession(DeviceExchange& exchange, Progress progress = {},
                  std::chrono::milliseconds silenceLimit = std::chrono::milliseconds(0));
    ~DeviceSession();
    DeviceSession(const DeviceSession&) = delete;
    DeviceSession& operator=(const DeviceSession&) = delete;

    DevicePassword ReadPassword();

    // The key's value; nothing when unanswered or after a fault.
    std::optional<std::string> Get(const std::string& key);

    // Into the set-up model: the six tables (SIM card, Z1, Z2, monitoring, phone numbers, SMS
    // forwarding), "SMODE", in Standalone mode "GACK" with its marks in the phone numbers' ACK
    // column, the alarm and the input table, "VSTR". Stops at a fault.
    ReadAllResult ReadEverything(settings::SettingsModel& model);

    // From the set-up model: the six tables (SIM card, phone numbers, SMS forwarding, Z1, Z2,
    // monitoring), "GACK", "SMODE", the alarm and the input table. Stops at a fault. Returns what
    // went unanswered or was too long to send.
    UnansweredTally WriteEverything(const settings::SettingsModel& model, int modeIndex,
                                    const std::string& ackMask);

    // Sends the encoded password as "PW"; after a fault sends nothing and gives kUnanswered.
    SetOutcome SetPassword(long long encoded);

    // After each command the exchange's stopRequested hook is asked: once it says so, the
    // session sends nothing more and gives kStopped.
    SessionFault Fault() const { return fault_; }
    // The stage under way when the fault came ("Writing alarm table"); empty outside stages.
    const std::string& FaultStage() const { return faultStage_; }

  private:
    class Stage;
    // Notes whether the last command was answered and decides whether the device has failed.
    void Observe(bool answered);
    void ObserveSet(SetOutcome outcome);
    void ObserveMemory();
    void Detached();
    bool Failed() const { return fault_ != SessionFault::kNone; }

    DeviceExchange& exchange_;
    Progress progress_;
    std::chrono::milliseconds silenceLimit_;
    std::optional<std::chrono::steady_clock::time_point> lastObservation_;
    std::optional<std::chrono::steady_clock::time_point> silentSince_;
    SessionFault fault_ = SessionFault::kNone;
    std::string stage_;
    std::string faultStage_;
    std::function<void(int, int)> callerProgress_;
    std::chrono::milliseconds callerAckTimeout_;
};

}  // namespace quelvar::exchange

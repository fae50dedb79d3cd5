#pragma once
// One USB HID device of the communicator: its handles, flags and receive slots.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "link/HidPlatform.h"
#include "link/Report.h"
#include "link/StateChange.h"

namespace quelvar::link {

// Called while a command waits for its answer, so a window can process its messages.
using MessagePump = std::function<void()>;

inline constexpr std::chrono::milliseconds kDefaultAckTimeout{1002};

// How one command ended.
enum class SendResult {
    kAcknowledged,
    kDetached,     // no device attached: nothing written
    kNotPinned,    // another attachment than the pinned one: nothing written
    kWriteFailed,  // the report was not taken
    kTimedOut,     // written, but no answer within the time limit (or the device went meanwhile)
};

class HID {
  public:
    explicit HID(HidPlatform& platform);
    ~HID();
    HID(const HID&) = delete;
    HID& operator=(const HID&) = delete;

    // Looks for the first interface whose hardware ID names the communicator;
    // true and `devicePath` set when one is found.
    bool FindDevicePath();
    // Discovery and opening of both handles; sets `attached` and reports "Attached" on success.
    // On any failure no handle stays open and the device stays detached.
    bool OpenDevice();
    void NotifyStateChange(const std::string& state);

    // Sends one command and waits for its acknowledgement (UI thread only). Returns at once,
    // false, when detached, not the pinned attachment, or the write fails; false when no answer
    // came within `ackTimeout` or the device went away meanwhile; true when acknowledged.
    bool SendCommand(const Command& command);
    // The same with its own time limit for the answer, and why it failed.
    SendResult Send(const Command& command, std::chrono::milliseconds timeout);
    // Writes one report as it stands; false when detached, not the pinned attachment, or not
    // taken (UI thread).
    bool WriteReport(const Report& report);

    // Where the receiver copies the next parameter answer (nullptr: nowhere); once this
    // returns, no late answer lands in the old buffer. Takes the link lock.
    void SetReplyBuffer(Report* buffer);
    // Copies `count` bytes of the last block received when it came from `address`; false
    // otherwise. Takes the link lock.
    bool CopyBlockFrom(std::uint32_t address, std::uint8_t* out, std::size_t count) const;

    // Receiver-thread side.
    ReadStatus ReadReport(Report& report);
    void CloseHandles();
    void MarkDetached();
    // Ends a pending read; safe from any thread.
    void CancelRead();
    // Sets the acknowledgement flag and wakes the waiting sender; call with the link lock held.
    void SignalAck();
    // True when an answer of this response code may end the current wait: only the waiting
    // command's own code does, so a stray answer of another kind cannot pass for its answer
    // (and leave the real one to be taken for the next command's). Any code when none waits.
    bool Awaits(std::uint8_t responseCode) const;

    std::string devicePath;
    OnChangeStateList stateListeners;
    std::atomic<bool> attached{false};
    std::atomic<bool> ackReceived{false};
    // Why the last attempt to open a device that was found failed; kNone when none was found
    // or the open succeeded. Written by the receiver thread.
    std::atomic<OpenError> openError{OpenError::kNone};
    // Grows by one with every "Attached" (written under the link lock), so a device that was
    // replugged meanwhile can be told from the one a log-in was made with.
    std::atomic<std::uint64_t> attachCount{0};
    // Non-zero: reports go only to this attachment, none to a device plugged in since.
    std::atomic<std::uint64_t> pinnedAttachment{0};
    Report lastReport{};
    Report* replyBuffer = nullptr;
    std::uint32_t lastBlockAddress = 0;
    Block lastBlockData{};

    MessagePump messagePump;
    std::chrono::milliseconds ackTimeout = kDefaultAckTimeout;
    // Non-zero: wait by polling the flag with sleeps of this length instead (for comparison).
    std::chrono::microseconds pollingSleep{0};

  private:
    SendResult Reachability() const;
    bool Reachable() const { return Reachability() == SendResult::kAcknowledged; }
    bool WaitForAck(std::chrono::milliseconds timeout);
    bool PollForAck();

    HidPlatform& platform_;
    // The read handle belongs to the receiver thread; the write handle is shared so that a
    // send in progress keeps it alive while the receiver closes it on a detach.
    std::mutex handleMutex_;
    std::unique_ptr<HidReader> readHandle_;
    std::shared_ptr<HidWriter> writeHandle_;
    std::condition_variable ackCondition_;
    // The command code whose answer the sender waits for; 0 while none waits.
    std::atomic<std::uint8_t> awaitedCode_{0};
    std::chrono::steady_clock::time_point lastPump_{};
};

// True when the hardware-ID text names the communicator (vendor 04d8, product 003F or 0061),
// compared without regard to case.
bool MatchesCommunicator(const std::string& hardwareId);

// Discovery looks at no more interface indices than this.
inline constexpr std::size_t kMaxInterfaceIndex = 1024;

}  // namespace quelvar::link

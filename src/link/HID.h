#pragma once
// One USB HID device of the communicator: its handles, flags and receive slots.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "link/HidPlatform.h"
#include "link/Report.h"
#include "link/StateChange.h"

namespace quelvar::link {

// Called while a command waits for its answer, so a window can process its messages.
using MessagePump = std::function<void()>;

inline constexpr std::chrono::milliseconds kDefaultAckTimeout{1002};
// How long a send waits, after a report the device did not take, for the receiver to tell
// whether the device went away (then the send ends kDetached).
inline constexpr std::chrono::milliseconds kWriteFailureGrace{200};

// How one command ended.
enum class SendResult {
    kAcknowledged,
    kDetached,     // no device attached: nothing written
    kNotPinned,    // another attachment than the pinned one: nothing written
    kWriteFailed,  // the report was not taken, and the device is still attached
    kTimedOut,     // written, but no answer within the time limit (or the device went meanwhile)
};

class ConnHIDCOM;
class HID;
void DispatchReport(ConnHIDCOM& connection, HID& device, const Report& report);

// One attached communicator as discovery lists it; the path is what opening by path takes.
using DeviceInfo = HidInterface;

class HID {
  public:
    // `onlyPath` empty: the first communicator discovery finds; otherwise only the interface
    // of that path, waited for while it is absent.
    explicit HID(HidPlatform& platform, std::string onlyPath = {});
    ~HID();
    HID(const HID&) = delete;
    HID& operator=(const HID&) = delete;

    // Looks for the first interface whose hardware ID names the communicator (or for the one
    // path given); true and DevicePath() set when one is found, false and DevicePath() unchanged
    // when none is (or enumeration failed).
    bool FindDevicePath();
    // Discovery and opening of both handles; sets IsAttached() and reports "Attached" on
    // success. On any failure no handle stays open and the device stays detached; false, with
    // LastOpenError() saying why a found interface would not open (kNone when none was found).
    bool OpenDevice();
    void NotifyStateChange(const std::string& state);
    // Before the receiver starts: who hears of "Attached" and "Detached" (not owned).
    void AddStateListener(ChangeStateEvent* listener) { stateListeners.Add(listener); }

    // Sends one command and waits for its acknowledgement (UI thread only). Returns at once,
    // false, when detached, not the pinned attachment, or the write fails; false when no answer
    // came within AckTimeout() or the device went away meanwhile; true when acknowledged.
    bool SendCommand(const Command& command);
    // The same with its own time limit for the answer, and why it failed.
    SendResult Send(const Command& command, std::chrono::milliseconds timeout);
    // Writes one report as it stands; false when detached, not the pinned attachment, or not
    // taken (UI thread).
    bool WriteReport(const Report& report);

    // Where the receiver copies the next parameter answer (nullptr: nowhere); once this
    // returns, no late answer lands in the old buffer. Takes the link lock.
    void SetReplyBuffer(Report* buffer);
    // Copies `count` bytes (32 at most) of the last block received when it came from
    // `address`; false otherwise. Before any block came, address 0 gives zeros. Takes the
    // link lock.
    bool CopyBlockFrom(std::uint32_t address, std::uint8_t* out, std::size_t count) const;
    // The last report received, whatever its code. Takes the link lock.
    Report LastReport() const;

    // The sending thread's settings: what runs while a command waits, how long it waits, and
    // (non-zero) waiting by polling the flag with sleeps of that length instead (for
    // comparison).
    void SetMessagePump(MessagePump pump) { messagePump_ = std::move(pump); }
    void SetAckTimeout(std::chrono::milliseconds timeout) { ackTimeout_ = timeout; }
    std::chrono::milliseconds AckTimeout() const { return ackTimeout_; }
    void SetPollingSleep(std::chrono::microseconds sleep) { pollingSleep_ = sleep; }

    // Non-zero: reports go only to this attachment, none to a device plugged in since.
    void PinAttachment(std::uint64_t attachment) { pinnedAttachment_ = attachment; }
    std::uint64_t PinnedAttachment() const { return pinnedAttachment_; }

    bool IsAttached() const { return attached_; }
    // Grows by one with every "Attached" (written under the link lock), so a device that was
    // replugged meanwhile can be told from the one a log-in was made with.
    std::uint64_t AttachCount() const { return attachCount_; }
    // Why the last attempt to open a device that was found failed; kNone when none was found
    // or the open succeeded.
    OpenError LastOpenError() const { return openError_; }
    // The path of the interface found last (the receiver thread's).
    const std::string& DevicePath() const { return devicePath; }
    // The path of the device last attached; call with the link lock held.
    const std::string& AttachedPath() const { return attachedPath_; }
    // Whether an acknowledgement came since the last command (or ClearAck).
    bool AckReceived() const { return ackReceived; }
    void ClearAck() { ackReceived = false; }

    // Receiver-thread side.
    // kFailed when no read handle is open; otherwise as HidReader::Read.
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
    // False for a parameter answer that belongs to a request given up on before (its text
    // begins with that request's key and "=") unless it is the key now asked for: an answer
    // come too late for its own request is no answer to this one. Any other answer is taken,
    // its key skipped by position. Call with the link lock held.
    bool AnswersAwaitedKey(const Report& answer) const;

  private:
    friend void DispatchReport(ConnHIDCOM& connection, HID& device, const Report& report);

    SendResult Reachability() const;
    bool Reachable() const { return Reachability() == SendResult::kAcknowledged; }
    SendResult AfterFailedWrite();
    bool WaitForAck(std::chrono::milliseconds timeout);
    bool PollForAck();

    HidPlatform& platform_;
    const std::string onlyPath_;
    std::string devicePath;
    std::string attachedPath_;  // written under the link lock, for other threads
    OnChangeStateList stateListeners;
    std::atomic<bool> attached_{false};
    std::atomic<bool> ackReceived{false};
    // Written by the receiver thread.
    std::atomic<OpenError> openError_{OpenError::kNone};
    std::atomic<std::uint64_t> attachCount_{0};
    std::atomic<std::uint64_t> pinnedAttachment_{0};
    // Guarded by the link lock.
    Report lastReport{};
    Report* replyBuffer = nullptr;
    std::uint32_t lastBlockAddress = 0;
    Block lastBlockData{};

    MessagePump messagePump_;
    std::chrono::milliseconds ackTimeout_ = kDefaultAckTimeout;
    std::chrono::microseconds pollingSleep_{0};

    // The read handle belongs to the receiver thread; the write handle is shared so that a
    // send in progress keeps it alive while the receiver closes it on a detach.
    std::mutex handleMutex_;
    std::unique_ptr<HidReader> readHandle_;
    std::shared_ptr<HidWriter> writeHandle_;
    std::condition_variable ackCondition_;
    // The command code whose answer the sender waits for; 0 while none waits.
    std::atomic<std::uint8_t> awaitedCode_{0};
    std::string awaitedKey_;  // "SIMPIN=" while its get waits; guarded by the link lock
    // The keys of the last gets that went unanswered, whose answers may still come; guarded by
    // the link lock.
    std::vector<std::string> lateKeys_;
    std::chrono::steady_clock::time_point lastPump_{};
};

// True when the hardware-ID text names the communicator (vendor 04d8, product 003F or 0061),
// compared without regard to case.
bool MatchesCommunicator(const std::string& hardwareId);

// Discovery looks at no more interface indices than this.
inline constexpr std::size_t kMaxInterfaceIndex = 1024;

// Every communicator attached, in the system's order: what a connection made for one path
// (ConnHIDCOM's second constructor) can open. Empty when none is, or enumeration failed.
std::vector<DeviceInfo> ListCommunicators(HidPlatform& platform);

}  // namespace quelvar::link

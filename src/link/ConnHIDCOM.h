#pragma once
// The USB HID connection: device object, receiver thread, status texts and event queue.

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "link/ConnectionInterface.h"
#include "link/HID.h"
#include "link/HidPlatform.h"
#include "link/StateChange.h"

namespace quelvar::link {

inline constexpr std::size_t kEventQueueSlots = 256;
// Status reports kept for a watcher at most; the oldest go first.
inline constexpr std::size_t kMaxStatusRecords = 10000;

// One status report as it came, for whoever follows them all (a log, a watch).
struct StatusRecord {
    std::uint8_t code = 0;
    std::string text;
    std::chrono::system_clock::time_point at{};
};
// TakeEvent's answer when no line waits.
inline constexpr const char* kNoEvent = "0";

// What the receiver last stored of the device and its status reports, read at one moment.
struct LinkSnapshot {
    bool hasDevice = false;  // the device object exists (the connection was opened)
    bool attached = false;
    std::uint64_t attachment = 0;  // see ConnHIDCOM::Attachment
    OpenError openError = OpenError::kNone;
    std::string input1State, input2State, simStatus, gsmSignal, lineState;
    std::string devicePath;  // the interface path of the device found; empty before
};

// One connection to one communicator, with its own device object and receiver thread; a
// process may hold several. All of them share the one link lock (Lock/Unlock).
class ConnHIDCOM : public Connection {
  public:
    // Opens the first communicator discovery finds.
    explicit ConnHIDCOM(HidPlatform& platform);
    // Opens only the communicator of this interface path (see ListCommunicators).
    ConnHIDCOM(HidPlatform& platform, std::string onlyPath);
    ~ConnHIDCOM() override;

    bool IsOpen() override;
    // Text chunks of 60 bytes. Always true: while detached nothing is written, and the first
    // report not taken ends the rest.
    bool Write(const std::uint8_t* bytes, std::size_t length) override;
    void WriteText(const std::string& text) override;
    // Creates the device object and starts the receiver thread; the first look for the
    // device comes from that thread. Call once. Always true: whether a device was found shows
    // later (IsAttached, Snapshot().openError).
    bool Open() override;
    // Stops the receiver thread and waits for it (about 100 ms at most on hidapi).
    void Close() override;
    std::string GetName() override;
    bool IsAttached();
    // The number of the attachment under way (see HID::AttachCount); 0 while no device is
    // attached. Call with the link lock held.
    std::uint64_t AttachmentLocked() const;
    // The same; takes the link lock itself.
    std::uint64_t Attachment() const;

    // The door for callers outside the link: each takes the link lock itself.
    LinkSnapshot Snapshot() const;
    // The status records kept since the last call, oldest first; `dropped` says how many went
    // meanwhile for want of room.
    std::vector<StatusRecord> TakeStatusRecords(std::uint64_t& dropped);
    // The oldest event line waiting, or kNoEvent.
    std::string TakeEventLine();
    // From now on commands go only to this attachment, none to a device plugged in since (0:
    // to whichever is attached). Nothing without a device object, and PinnedAttachment() then
    // gives 0.
    void PinAttachment(std::uint64_t attachment);
    std::uint64_t PinnedAttachment() const;
    // Whether the device object exists (the connection was opened).
    bool HasDevice() const { return device_ != nullptr; }
    // The device object; only while HasDevice().
    HID& Device() { return *device_; }
    // How long a command waits for its acknowledgement.
    std::chrono::milliseconds AckTimeout() const {
        return device_ ? device_->AckTimeout() : ackTimeout_;
    }
    // Sends one command and waits up to the device's time limit for its acknowledgement;
    // `reply`, when given, receives the answer. kDetached without a device object, otherwise
    // as HID::Send.
    SendResult Send(const Command& command, Report* reply = nullptr);
    // The block the last memory read brought, when it came from that address; false without a
    // device object or when the last block came from another address.
    bool CopyBlockFrom(std::uint32_t address, std::uint8_t* out, std::size_t count) const;
    // The sending thread's settings, passed on to the device object (now, when it exists,
    // and at Open): what the acknowledgement waits run meanwhile (the window's events), how
    // long they wait, and (non-zero) waiting by polling with sleeps of that length instead.
    void SetMessagePump(MessagePump pump);
    void SetAckTimeout(std::chrono::milliseconds timeout);
    void SetPollingSleep(std::chrono::microseconds sleep);
    // Before Open: every status report is kept for TakeStatusRecords, at most `capacity`.
    void KeepStatusRecords() { recordStatusReports_ = true; }
    void SetStatusRecordCapacity(std::size_t capacity) { statusRecordCapacity_ = capacity; }
    // Before Open: who hears of "Attached" and "Detached", on the receiver thread (not owned).
    void AddStateListener(ChangeStateEvent* listener) { stateListeners.Add(listener); }
    // How many looks for the device the receiver has made so far.
    int DiscoveryPasses() const { return discoveryPasses_.load(); }
    // Whether the receiver thread has ended (after Close).
    bool ReceiverFinished() const { return threadFinished.load(); }

    // Called with the link lock held. An empty text is dropped, and a full queue drops its
    // oldest line; TakeEvent gives kNoEvent when none waits.
    void PushEvent(const std::string& text);
    std::string TakeEvent();
    std::size_t EventsWaiting() const;

    // The one process-wide link lock, whichever connection enters it.
    void Lock();
    void Unlock();
    // Holds the link lock for its scope.
    class LockGuard {
      public:
        explicit LockGuard(ConnHIDCOM& connection) : connection_(connection) { connection_.Lock(); }
        ~LockGuard() { connection_.Unlock(); }
        LockGuard(const LockGuard&) = delete;
        LockGuard& operator=(const LockGuard&) = delete;

      private:
        ConnHIDCOM& connection_;
    };

    // The status-text field that a status code (200..210) fills; nullptr for other codes.
    // Guarded by the link lock.
    std::string* StatusField(std::uint8_t code);

  private:
    friend class HIDChangeStateEvent;
    friend int ReceiverThread(ConnHIDCOM* connection);
    friend void DispatchReport(ConnHIDCOM& connection, HID& device, const Report& report);

    HidPlatform& platform_;
    // Empty: the first communicator found.
    const std::string onlyPath_;

    // When set (before Open), every status report is also kept in statusRecords_, guarded by
    // the link lock, for the caller to take away.
    bool recordStatusReports_ = false;
    std::deque<StatusRecord> statusRecords_;
    // How many records went (the oldest first) because statusRecordCapacity_ was reached while
    // no one took them; guarded by the link lock. The taker resets it.
    std::size_t statusRecordCapacity_ = kMaxStatusRecords;
    std::uint64_t statusRecordsDropped_ = 0;

    // Passed to the device object for its acknowledgement waits.
    MessagePump messagePump_;
    std::chrono::milliseconds ackTimeout_ = kDefaultAckTimeout;
    std::chrono::microseconds pollingSleep_{0};

    std::string name_ = "HID";
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> threadFinished{false};
    // Looks for the device the receiver has made so far, so a caller can wait for the first.
    std::atomic<int> discoveryPasses_{0};
    // Guarded by the link lock.
    std::array<std::string, kEventQueueSlots> eventQueue;
    std::uint8_t eventWriteIndex = 0;
    std::uint8_t eventReadIndex = 0;
    // Made by Open and destroyed by Close once the receiver has ended, both on the owner's
    // thread: the receiver never replaces it.
    std::unique_ptr<HID> device_;
    OnChangeStateList stateListeners;

    // Guarded by the link lock; replaced by each status report of their code.
    std::string gsmSignal_;    // 200
    std::string status210;     // 210
    std::string status201;     // 201
    std::string input1State_;  // 202
    std::string input2State_;  // 203
    std::string simStatus_;    // 204
    std::string lineState_;    // 205
    std::string lastEvent;     // 206
    std::string status207;     // 207
    std::string status208;     // 208
    std::string status209;     // 209

    std::unique_ptr<HIDChangeStateEvent> deviceListener_;
    std::thread receiver_;
};

// The receiver thread's body: discovery while detached, one read and dispatch per report
// while attached, until Close asks it to stop. The link lock is held only for each dispatch,
// never for a read, an open or a notification. Returns 0.
int ReceiverThread(ConnHIDCOM* connection);

// Acts on one received report as its response code says; call with the link lock held.
void DispatchReport(ConnHIDCOM& connection, HID& device, const Report& report);

}  // namespace quelvar::link

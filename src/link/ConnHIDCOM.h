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
};

class ConnHIDCOM : public Connection {
  public:
    explicit ConnHIDCOM(HidPlatform& platform);
    ~ConnHIDCOM() override;

    bool IsOpen() override;
    bool Write(const std::uint8_t* bytes, std::size_t length) override;
    void WriteText(const std::string& text) override;
    // Creates the device object and starts the receiver thread; the first look for the
    // device comes from that thread. Call once.
    bool Open() override;
    // Stops the receiver thread and waits for it (about 100 ms at most on hidapi).
    void Close() override;
    std::string GetName() override;
    bool IsAttached();
    // The number of the attachment under way (see HID::attachCount); 0 while no device is
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
    // to whichever is attached). Nothing without a device object.
    void PinAttachment(std::uint64_t attachment);
    std::uint64_t PinnedAttachment() const;
    // Whether the device object exists (the connection was opened).
    bool HasDevice() const { return device != nullptr; }
    // How long a command waits for its acknowledgement.
    std::chrono::milliseconds AckTimeout() const {
        return device ? device->ackTimeout : ackTimeout;
    }
    // Sends one command and waits up to the device's time limit for its acknowledgement;
    // `reply`, when given, receives the answer. kDetached without a device object.
    SendResult Send(const Command& command, Report* reply = nullptr);
    // The block the last memory read brought, when it came from that address.
    bool CopyBlockFrom(std::uint32_t address, std::uint8_t* out, std::size_t count) const;
    // Before Open: what the acknowledgement waits run meanwhile (the window's events), and
    // whether every status report is kept for TakeStatusRecords.
    void SetMessagePump(MessagePump pump) { messagePump = std::move(pump); }
    void KeepStatusRecords() { recordStatusReports = true; }
    // How many looks for the device the receiver has made so far.
    int DiscoveryPasses() const { return discoveryPasses.load(); }

    // Called with the link lock held.
    void PushEvent(const std::string& text);
    std::string TakeEvent();

    void Lock();
    void Unlock();

    // The status-text field that a status code (200..210) fills; nullptr for other codes.
    std::string* StatusField(std::uint8_t code);

    // When set (before Open), every status report is also kept in statusRecords, guarded by the
    // link lock, for the caller to take away.
    bool recordStatusReports = false;
    std::deque<StatusRecord> statusRecords;
    // How many records went (the oldest first) because statusRecordCapacity was reached while
    // no one took them; guarded by the link lock. The taker resets it.
    std::size_t statusRecordCapacity = kMaxStatusRecords;
    std::uint64_t statusRecordsDropped = 0;

    // Passed to the device object for its acknowledgement waits (set before Open).
    MessagePump messagePump;
    std::chrono::milliseconds ackTimeout = kDefaultAckTimeout;

    std::string name = "HID";
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> threadFinished{false};
    // Looks for the device the receiver has made so far, so a caller can wait for the first.
    std::atomic<int> discoveryPasses{0};
    std::array<std::string, kEventQueueSlots> eventQueue;
    std::uint8_t eventWriteIndex = 0;
    std::uint8_t eventReadIndex = 0;
    std::unique_ptr<HID> device;
    OnChangeStateList stateListeners;

    // Guarded by the link lock; replaced by each status report of their code.
    std::string gsmSignal;    // 200
    std::string status210;    // 210
    std::string status201;    // 201
    std::string input1State;  // 202
    std::string input2State;  // 203
    std::string simStatus;    // 204
    std::string lineState;    // 205
    std::string lastEvent;    // 206
    std::string status207;    // 207
    std::string status208;    // 208
    std::string status209;    // 209

    HidPlatform& platform;

  private:
    std::unique_ptr<HIDChangeStateEvent> deviceListener_;
    std::thread receiver_;
};

// The receiver thread's body: discovery while detached, one read and dispatch per report
// while attached, until stopRequested. Returns 0.
int ReceiverThread(ConnHIDCOM* connection);

// Acts on one received report as its response code says; call with the link lock held.
void DispatchReport(ConnHIDCOM& connection, HID& device, const Report& report);

}  // namespace quelvar::link

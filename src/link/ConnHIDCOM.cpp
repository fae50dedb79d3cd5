#include "link/ConnHIDCOM.h"

#include <functional>

#ifndef _WIN32
#include <pthread.h>
#include <signal.h>
#endif

#include <algorithm>
#include <chrono>
#include <iterator>
#include <utility>

#include "link/LinkLock.h"

namespace quelvar::link {

void HIDChangeStateEvent::OnChangeState(const std::string& state) {
    for (std::size_t i = 0; i < owner_->stateListeners.Count(); ++i) {
        owner_->stateListeners.Get(i)->OnChangeState(state);
    }
}

ConnHIDCOM::ConnHIDCOM(HidPlatform& hidPlatform) : platform(hidPlatform) {}

ConnHIDCOM::~ConnHIDCOM() {
    Close();
}

bool ConnHIDCOM::IsOpen() {
    return device != nullptr;
}

bool ConnHIDCOM::IsAttached() {
    return IsOpen() && device->attached;
}

std::uint64_t ConnHIDCOM::AttachmentLocked() const {
    return device && device->attached ? device->attachCount.load() : 0;
}

std::uint64_t ConnHIDCOM::Attachment() const {
    std::lock_guard lock(LinkLock());
    return AttachmentLocked();
}

LinkSnapshot ConnHIDCOM::Snapshot() const {
    std::lock_guard lock(LinkLock());
    LinkSnapshot snapshot;
    snapshot.hasDevice = device != nullptr;
    snapshot.attached = device && device->attached;
    snapshot.attachment = AttachmentLocked();
    snapshot.openError = device ? device->openError.load() : OpenError::kNone;
    snapshot.input1State = input1State;
    snapshot.input2State = input2State;
    snapshot.simStatus = simStatus;
    snapshot.gsmSignal = gsmSignal;
    snapshot.lineState = lineState;
    return snapshot;
}

std::vector<StatusRecord> ConnHIDCOM::TakeStatusRecords(std::uint64_t& dropped) {
    std::lock_guard lock(LinkLock());
    std::vector<StatusRecord> records(std::make_move_iterator(statusRecords.begin()),
                                      std::make_move_iterator(statusRecords.end()));
    statusRecords.clear();
    dropped = std::exchange(statusRecordsDropped, 0);
    return records;
}

std::string ConnHIDCOM::TakeEventLine() {
    std::lock_guard lock(LinkLock());
    return TakeEvent();
}

void ConnHIDCOM::PinAttachment(std::uint64_t attachment) {
    if (device) {
        device->pinnedAttachment = attachment;
    }
}

std::uint64_t ConnHIDCOM::PinnedAttachment() const {
    return device ? device->pinnedAttachment.load() : 0;
}

SendResult ConnHIDCOM::Send(const Command& command, Report* reply) {
    if (device == nullptr) {
        return SendResult::kDetached;
    }
    if (reply != nullptr) {
        device->SetReplyBuffer(reply);
    }
    const SendResult result = device->Send(command, device->ackTimeout);
    if (reply != nullptr) {
        device->SetReplyBuffer(nullptr);
    }
    return result;
}

bool ConnHIDCOM::CopyBlockFrom(std::uint32_t address, std::uint8_t* out, std::size_t count) const {
    return device != nullptr && device->CopyBlockFrom(address, out, count);
}

std::string ConnHIDCOM::GetName() {
    return name;
}

namespace {

// The receiver thread takes no SIGINT or SIGTERM: a signal meant to stop the program gently
// must not end one of its device reads as if the device had gone.
std::thread StartWithoutInterrupts(std::function<void()> body) {
#ifdef _WIN32
    return std::thread(std::move(body));
#else
    sigset_t blocked;
    sigset_t previous;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGINT);
    sigaddset(&blocked, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &blocked, &previous);
    std::thread thread(std::move(body));
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return thread;
#endif
}

}  // namespace

bool ConnHIDCOM::Open() {
    device = std::make_unique<HID>(platform);
    device->messagePump = messagePump;
    device->ackTimeout = ackTimeout;
    deviceListener_ = std::make_unique<HIDChangeStateEvent>(this);
    device->stateListeners.Add(deviceListener_.get());
    receiver_ = StartWithoutInterrupts([this] { ReceiverThread(this); });
    return true;
}

void ConnHIDCOM::Close() {
    if (!receiver_.joinable()) {
        return;
    }
    // The stop request comes first, so the receiver cannot reconnect after the cancel.
    stopRequested = true;
    while (!threadFinished) {
        {
            std::lock_guard lock(LinkLock());
            if (device) {
                device->CancelRead();
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    receiver_.join();
}

bool ConnHIDCOM::Write(const std::uint8_t* bytes, std::size_t length) {
    if (!device || !device->attached) {
        return true;
    }
    for (std::size_t p = 0; p < length; p += kMaxChunk) {
        const std::size_t n = std::min(kMaxChunk, length - p);
        Report report{};
        report[1] = 1;
        report[2] = static_cast<std::uint8_t>(n);
        std::copy_n(bytes + p, n, report.begin() + kTextOffset);
        if (!device->WriteReport(report)) {
            break;
        }
    }
    return true;
}

void ConnHIDCOM::WriteText(const std::string& text) {
    Write(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

void ConnHIDCOM::PushEvent(const std::string& text) {
    if (text.empty()) {
        return;
    }
    const auto next = static_cast<std::uint8_t>(eventWriteIndex + 1);
    if (next == eventReadIndex) {
        // 255 lines wait: drop the oldest rather than overwrite the queue unnoticed.
        ++eventReadIndex;
    }
    eventQueue[eventWriteIndex] = text;
    eventWriteIndex = next;
}

std::string ConnHIDCOM::TakeEvent() {
    if (eventReadIndex == eventWriteIndex) {
        return kNoEvent;
    }
    return std::move(eventQueue[eventReadIndex++]);
}

void ConnHIDCOM::Lock() {
    LinkLock().lock();
}

void ConnHIDCOM::Unlock() {
    LinkLock().unlock();
}

std::string* ConnHIDCOM::StatusField(std::uint8_t code) {
    switch (code) {
        case 200:
            return &gsmSignal;
        case 201:
            return &status201;
        case 202:
            return &input1State;
        case 203:
            return &input2State;
        case 204:
            return &simStatus;
        case 205:
            return &lineState;
        case 206:
            return &lastEvent;
        case 207:
            return &status207;
        case 208:
            return &status208;
        case 209:
            return &status209;
        case 210:
            return &status210;
        default:
            return nullptr;
    }
}

}  // namespace quelvar::link

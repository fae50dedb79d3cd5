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

ConnHIDCOM::ConnHIDCOM(HidPlatform& platform) : platform_(platform) {}

ConnHIDCOM::ConnHIDCOM(HidPlatform& platform, std::string onlyPath)
    : platform_(platform), onlyPath_(std::move(onlyPath)) {}

ConnHIDCOM::~ConnHIDCOM() {
    Close();
}

bool ConnHIDCOM::IsOpen() {
    return device_ != nullptr;
}

bool ConnHIDCOM::IsAttached() {
    return IsOpen() && device_->IsAttached();
}

std::uint64_t ConnHIDCOM::AttachmentLocked() const {
    return device_ && device_->IsAttached() ? device_->AttachCount() : 0;
}

std::uint64_t ConnHIDCOM::Attachment() const {
    std::lock_guard lock(LinkLock());
    return AttachmentLocked();
}

LinkSnapshot ConnHIDCOM::Snapshot() const {
    std::lock_guard lock(LinkLock());
    LinkSnapshot snapshot;
    snapshot.hasDevice = device_ != nullptr;
    snapshot.attached = device_ && device_->IsAttached();
    snapshot.attachment = AttachmentLocked();
    snapshot.openError = device_ ? device_->LastOpenError() : OpenError::kNone;
    snapshot.input1State = input1State_;
    snapshot.input2State = input2State_;
    snapshot.simStatus = simStatus_;
    snapshot.gsmSignal = gsmSignal_;
    snapshot.lineState = lineState_;
    snapshot.devicePath = device_ ? device_->AttachedPath() : std::string();
    return snapshot;
}

std::vector<StatusRecord> ConnHIDCOM::TakeStatusRecords(std::uint64_t& dropped) {
    std::lock_guard lock(LinkLock());
    std::vector<StatusRecord> records(std::make_move_iterator(statusRecords_.begin()),
                                      std::make_move_iterator(statusRecords_.end()));
    statusRecords_.clear();
    dropped = std::exchange(statusRecordsDropped_, 0);
    return records;
}

std::string ConnHIDCOM::TakeEventLine() {
    std::lock_guard lock(LinkLock());
    return TakeEvent();
}

void ConnHIDCOM::PinAttachment(std::uint64_t attachment) {
    if (device_) {
        device_->PinAttachment(attachment);
    }
}

std::uint64_t ConnHIDCOM::PinnedAttachment() const {
    return device_ ? device_->PinnedAttachment() : 0;
}

SendResult ConnHIDCOM::Send(const Command& command, Report* reply) {
    if (device_ == nullptr) {
        return SendResult::kDetached;
    }
    if (reply != nullptr) {
        device_->SetReplyBuffer(reply);
    }
    const SendResult result = device_->Send(command, device_->AckTimeout());
    if (reply != nullptr) {
        device_->SetReplyBuffer(nullptr);
    }
    return result;
}

bool ConnHIDCOM::CopyBlockFrom(std::uint32_t address, std::uint8_t* out, std::size_t count) const {
    return device_ != nullptr && device_->CopyBlockFrom(address, out, count);
}

void ConnHIDCOM::SetMessagePump(MessagePump pump) {
    messagePump_ = std::move(pump);
    if (device_) {
        device_->SetMessagePump(messagePump_);
    }
}

void ConnHIDCOM::SetAckTimeout(std::chrono::milliseconds timeout) {
    ackTimeout_ = timeout;
    if (device_) {
        device_->SetAckTimeout(timeout);
    }
}

void ConnHIDCOM::SetPollingSleep(std::chrono::microseconds sleep) {
    pollingSleep_ = sleep;
    if (device_) {
        device_->SetPollingSleep(sleep);
    }
}

std::string ConnHIDCOM::GetName() {
    return name_;
}

namespace {

// The receiver thread takes no SIGINT or SIGTERM: a signal meant to stop the program gently
// must not end one of its device reads as if the device had gone. The program's one stop flag
// (io::StopSignal) is read by the threads that run sessions, so a stop signal stops every
// session of the process, whichever device each talks to.
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
    device_ = std::make_unique<HID>(platform_, onlyPath_);
    device_->SetMessagePump(messagePump_);
    device_->SetAckTimeout(ackTimeout_);
    device_->SetPollingSleep(pollingSleep_);
    deviceListener_ = std::make_unique<HIDChangeStateEvent>(this);
    device_->AddStateListener(deviceListener_.get());
    receiver_ = StartWithoutInterrupts([this] { ReceiverThread(this); });
    return true;
}

void ConnHIDCOM::Close() {
    if (!receiver_.joinable()) {
        return;
    }
    // The stop request comes first, so the receiver cannot reconnect after the cancel. The
    // device object stays until the receiver has ended, so no lock is needed around it.
    stopRequested_ = true;
    while (!threadFinished) {
        device_->CancelRead();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    receiver_.join();
    device_.reset();
}

bool ConnHIDCOM::Write(const std::uint8_t* bytes, std::size_t length) {
    if (!device_ || !device_->IsAttached()) {
        return true;
    }
    for (std::size_t p = 0; p < length; p += kMaxChunk) {
        const std::size_t n = std::min(kMaxChunk, length - p);
        Report report{};
        report[1] = 1;
        report[2] = static_cast<std::uint8_t>(n);
        std::copy_n(bytes + p, n, report.begin() + kTextOffset);
        if (!device_->WriteReport(report)) {
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

std::size_t ConnHIDCOM::EventsWaiting() const {
    return static_cast<std::uint8_t>(eventWriteIndex - eventReadIndex);
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
            return &gsmSignal_;
        case 201:
            return &status201;
        case 202:
            return &input1State_;
        case 203:
            return &input2State_;
        case 204:
            return &simStatus_;
        case 205:
            return &lineState_;
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

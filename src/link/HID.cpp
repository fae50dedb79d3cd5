#include "link/HID.h"

#include <algorithm>
#include <cctype>
#include <thread>

#include "link/LinkLock.h"

namespace quelvar::link {

namespace {

std::string ToLower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

bool MatchesCommunicator(const std::string& hardwareId) {
    static const std::string patterns[] = {ToLower("Vid_04d8&Pid_003F"),
                                           ToLower("Vid_04d8&Pid_0061")};
    // Only the text up to a zero byte counts, as the system's property text ends there.
    const std::string id = ToLower(hardwareId.substr(0, hardwareId.find('\0')));
    return std::any_of(std::begin(patterns), std::end(patterns),
                       [&](const std::string& p) { return id.find(p) != std::string::npos; });
}

std::vector<DeviceInfo> ListCommunicators(HidPlatform& platform) {
    return platform.EnumerateCommunicators();
}

HID::HID(HidPlatform& platform, std::string onlyPath)
    : platform_(platform), onlyPath_(std::move(onlyPath)) {}

HID::~HID() {
    CloseHandles();
}

bool HID::FindDevicePath() {
    if (!onlyPath_.empty()) {
        // Only that interface, however many others name the communicator. (hidapi's paths on
        // Linux are device nodes, which a replug may renumber: the connection then waits.)
        for (const DeviceInfo& info : ListCommunicators(platform_)) {
            if (info.path == onlyPath_) {
                devicePath = info.path;
                return true;
            }
        }
        return false;
    }
    const std::vector<HidInterface> interfaces = platform_.Enumerate();
    const std::size_t count = std::min(interfaces.size(), kMaxInterfaceIndex);
    for (std::size_t i = 0; i < count; ++i) {
        if (MatchesCommunicator(interfaces[i].hardwareId)) {
            devicePath = interfaces[i].path;
            return true;
        }
    }
    return false;
}

bool HID::OpenDevice() {
    CloseHandles();
    if (!FindDevicePath()) {
        openError_ = OpenError::kNone;
        return false;
    }
    std::unique_ptr<HidReader> reader = platform_.OpenReader(devicePath);
    if (!reader) {
        openError_ = platform_.LastOpenError();
        return false;
    }
    std::unique_ptr<HidWriter> writer = platform_.OpenWriter(devicePath);
    if (!writer) {
        openError_ = platform_.LastOpenError();
        return false;  // the reader closes as it goes out of scope
    }
    openError_ = OpenError::kNone;
    {
        std::lock_guard guard(handleMutex_);
        readHandle_ = std::move(reader);
        writeHandle_ = std::move(writer);
    }
    {
        std::lock_guard lock(LinkLock());
        attached_ = true;
        attachedPath_ = devicePath;
        ++attachCount_;
    }
    NotifyStateChange(kStateAttached);
    return true;
}

void HID::NotifyStateChange(const std::string& state) {
    for (std::size_t i = 0; i < stateListeners.Count(); ++i) {
        stateListeners.Get(i)->OnChangeState(state);
    }
}

SendResult HID::Reachability() const {
    if (!attached_) {
        return SendResult::kDetached;
    }
    const std::uint64_t pinned = pinnedAttachment_;
    return pinned == 0 || pinned == attachCount_ ? SendResult::kAcknowledged
                                                 : SendResult::kNotPinned;
}

bool HID::WriteReport(const Report& report) {
    if (!Reachable()) {
        return false;
    }
    std::shared_ptr<HidWriter> writer;
    {
        std::lock_guard guard(handleMutex_);
        writer = writeHandle_;
    }
    return writer && writer->Write(report);
}

bool HID::SendCommand(const Command& command) {
    return Send(command, ackTimeout_) == SendResult::kAcknowledged;
}

SendResult HID::Send(const Command& command, std::chrono::milliseconds timeout) {
    ackReceived = false;
    if (const SendResult reach = Reachability(); reach != SendResult::kAcknowledged) {
        return reach;
    }
    Report report{};
    std::copy(command.begin(), command.end(), report.begin() + 1);
    awaitedCode_ = command[0];
    {
        std::lock_guard lock(LinkLock());
        awaitedKey_ = command[0] == kGetParameter ? TextAt(report, kTextOffset) + "=" : "";
    }
    SendResult result = SendResult::kWriteFailed;
    if (WriteReport(report)) {
        result = WaitForAck(timeout) ? SendResult::kAcknowledged : SendResult::kTimedOut;
    } else {
        result = AfterFailedWrite();
    }
    awaitedCode_ = 0;
    if (result == SendResult::kTimedOut && command[0] == kGetParameter) {
        constexpr std::size_t kLateKeysKept = 4;
        std::lock_guard lock(LinkLock());
        lateKeys_.push_back(awaitedKey_);
        if (lateKeys_.size() > kLateKeysKept) {
            lateKeys_.erase(lateKeys_.begin());
        }
    }
    return result;
}

SendResult HID::AfterFailedWrite() {
    // A report the device did not take is most often the first sign of a pulled cable, which
    // the receiver tells a moment later: waiting that moment lets the caller stop at the command
    // that found it, rather than send the rest of a table into a dead handle.
    std::unique_lock lock(LinkLock());
    ackCondition_.wait_for(lock, kWriteFailureGrace, [this] { return !attached_.load(); });
    return attached_ ? SendResult::kWriteFailed : SendResult::kDetached;
}

bool HID::WaitForAck(std::chrono::milliseconds timeout) {
    if (pollingSleep_.count() > 0) {
        return PollForAck();
    }
    // Wakes the moment the receiver stores the answer. The window's messages are processed
    // at least every millisecond, counted across commands, so a run of quick answers does not
    // starve it. Bounded by the clock, so a slow message pump cannot stretch it.
    using Clock = std::chrono::steady_clock;
    constexpr auto kPumpPeriod = std::chrono::milliseconds(1);
    const Clock::time_point deadline = Clock::now() + timeout;
    std::unique_lock lock(LinkLock());
    for (;;) {
        // Pumped before looking: answers that are always there already (a quick device,
        // a slow scheduler) would otherwise never let the window draw.
        if (Clock::now() >= lastPump_ + kPumpPeriod) {
            lastPump_ = Clock::now();
            if (messagePump_) {
                lock.unlock();
                messagePump_();
                lock.lock();
            }
        }
        const Clock::time_point slice = std::min(lastPump_ + kPumpPeriod, deadline);
        if (ackCondition_.wait_until(lock, slice, [this] { return ackReceived || !attached_; })) {
            return ackReceived;
        }
        if (Clock::now() >= deadline) {
            return false;
        }
    }
}

bool HID::PollForAck() {
    // The flag-polling wait: 1002 checks with a sleep between them. Kept for comparison;
    // on systems whose sleeps are coarse it costs many times the bus time.
    for (int check = 0; check < 1002; ++check) {
        std::this_thread::sleep_for(pollingSleep_);
        if (ackReceived) {
            return true;
        }
        if (!attached_) {
            return false;
        }
        if (messagePump_) {
            messagePump_();
        }
    }
    return false;
}

void HID::SignalAck() {
    ackReceived = true;
    ackCondition_.notify_all();
}

bool HID::AnswersAwaitedKey(const Report& answer) const {
    const std::string text = TextAt(answer, kTextOffset);
    if (awaitedKey_.empty() || text.starts_with(awaitedKey_)) {
        return true;
    }
    return std::none_of(lateKeys_.begin(), lateKeys_.end(),
                        [&](const std::string& late) { return text.starts_with(late); });
}

bool HID::Awaits(std::uint8_t responseCode) const {
    const std::uint8_t awaited = awaitedCode_;
    return awaited == 0 || awaited == responseCode;
}

ReadStatus HID::ReadReport(Report& report) {
    HidReader* reader = nullptr;
    {
        std::lock_guard guard(handleMutex_);
        reader = readHandle_.get();
    }
    // Only this (the receiver) thread replaces or destroys the reader, so it stays valid.
    return reader ? reader->Read(report) : ReadStatus::kFailed;
}

void HID::CancelRead() {
    std::lock_guard guard(handleMutex_);
    if (readHandle_) {
        readHandle_->Cancel();
    }
}

void HID::CloseHandles() {
    std::unique_ptr<HidReader> reader;
    std::shared_ptr<HidWriter> writer;
    {
        std::lock_guard guard(handleMutex_);
        reader = std::move(readHandle_);
        writer = std::move(writeHandle_);
    }
    // Closed here, outside the mutex; a send still holding the writer closes it when done.
}

void HID::MarkDetached() {
    {
        std::lock_guard lock(LinkLock());
        attached_ = false;
    }
    ackCondition_.notify_all();
}

void HID::SetReplyBuffer(Report* buffer) {
    std::lock_guard lock(LinkLock());
    replyBuffer = buffer;
}

Report HID::LastReport() const {
    std::lock_guard lock(LinkLock());
    return lastReport;
}

bool HID::CopyBlockFrom(std::uint32_t address, std::uint8_t* out, std::size_t count) const {
    std::lock_guard lock(LinkLock());
    if (lastBlockAddress != address) {
        return false;
    }
    std::copy_n(lastBlockData.begin(), std::min(count, lastBlockData.size()), out);
    return true;
}

}  // namespace quelvar::link

#include "sim/SimulatedCommunicator.h"

#include <algorithm>
#include <cstdlib>

namespace quelvar::sim {

using link::Report;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kMaxSignal = 31;

}  // namespace

struct SimulatedCommunicator::ReaderQueue {
    std::uint64_t generation = 0;
    std::deque<Report> reports;
    bool cancelled = false;
};

class SimulatedCommunicator::Reader : public link::HidReader {
  public:
    Reader(SimulatedCommunicator& sim, std::shared_ptr<ReaderQueue> queue)
        : sim_(sim), queue_(std::move(queue)) {}

    ~Reader() override {
        std::lock_guard lock(sim_.mutex_);
        auto& readers = sim_.readers_;
        readers.erase(std::remove(readers.begin(), readers.end(), queue_), readers.end());
        --sim_.openHandles_;
    }

    link::ReadStatus Read(Report& report) override {
        std::unique_lock lock(sim_.mutex_);
        sim_.readable_.wait(
            lock, [&] { return queue_->cancelled || !Alive() || !queue_->reports.empty(); });
        if (queue_->cancelled) {
            return link::ReadStatus::kCancelled;
        }
        if (!Alive()) {
            return link::ReadStatus::kFailed;
        }
        report = queue_->reports.front();
        queue_->reports.pop_front();
        return link::ReadStatus::kReport;
    }

    void Cancel() override {
        std::lock_guard lock(sim_.mutex_);
        queue_->cancelled = true;
        sim_.readable_.notify_all();
    }

  private:
    bool Alive() const { return sim_.plugged_ && queue_->generation == sim_.generation_; }

    SimulatedCommunicator& sim_;
    std::shared_ptr<ReaderQueue> queue_;
};

class SimulatedCommunicator::Writer : public link::HidWriter {
  public:
    Writer(SimulatedCommunicator& sim, std::uint64_t generation)
        : sim_(sim), generation_(generation) {}

    ~Writer() override {
        std::lock_guard lock(sim_.mutex_);
        --sim_.openHandles_;
    }

    bool Write(const Report& report) override { return sim_.HandleCommand(generation_, report); }

  private:
    SimulatedCommunicator& sim_;
    std::uint64_t generation_;
};

SimulatedCommunicator::SimulatedCommunicator() : SimulatedCommunicator(Options{}) {}

SimulatedCommunicator::SimulatedCommunicator(const Options& options)
    : plugged_(options.pluggedIn),
      start_(Clock::now()),
      statusPeriod_(options.statusPeriod),
      nextStatus_(start_ + options.statusPeriod),
      random_(options.seed) {
    worker_ = std::thread(&SimulatedCommunicator::Worker, this);
}

SimulatedCommunicator::~SimulatedCommunicator() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    worker_.join();
}

std::vector<link::HidInterface> SimulatedCommunicator::Enumerate() {
    std::lock_guard lock(mutex_);
    ++enumerations_;
    if (!plugged_) {
        return {};
    }
    return {{kSimPath, kSimHardwareId}};
}

std::unique_ptr<link::HidReader> SimulatedCommunicator::OpenReader(const std::string& path) {
    std::lock_guard lock(mutex_);
    lastOpenError_ =
        permissionDenied_ ? link::OpenError::kPermissionDenied : link::OpenError::kOther;
    if (!plugged_ || path != kSimPath || permissionDenied_) {
        return nullptr;
    }
    if (failReaderOpens_ > 0) {
        --failReaderOpens_;
        return nullptr;
    }
    lastOpenError_ = link::OpenError::kNone;
    auto queue = std::make_shared<ReaderQueue>();
    queue->generation = generation_;
    readers_.push_back(queue);
    ++openHandles_;
    return std::make_unique<Reader>(*this, std::move(queue));
}

std::unique_ptr<link::HidWriter> SimulatedCommunicator::OpenWriter(const std::string& path) {
    std::lock_guard lock(mutex_);
    lastOpenError_ =
        permissionDenied_ ? link::OpenError::kPermissionDenied : link::OpenError::kOther;
    if (!plugged_ || path != kSimPath || permissionDenied_) {
        return nullptr;
    }
    if (failWriterOpens_ > 0) {
        --failWriterOpens_;
        return nullptr;
    }
    lastOpenError_ = link::OpenError::kNone;
    ++openHandles_;
    return std::make_unique<Writer>(*this, generation_);
}

void SimulatedCommunicator::Plug() {
    std::lock_guard lock(mutex_);
    plugged_ = true;
}

void SimulatedCommunicator::Unplug() {
    std::lock_guard lock(mutex_);
    UnplugLocked();
}

void SimulatedCommunicator::UnplugLocked() {
    if (!plugged_) {
        return;
    }
    plugged_ = false;
    ++generation_;  // every handle opened before now fails from here on
    pending_.clear();
    for (const auto& reader : readers_) {
        reader->reports.clear();
    }
    readable_.notify_all();
}

bool SimulatedCommunicator::IsPlugged() const {
    std::lock_guard lock(mutex_);
    return plugged_;
}

int SimulatedCommunicator::OpenHandleCount() const {
    std::lock_guard lock(mutex_);
    return openHandles_;
}

int SimulatedCommunicator::EnumerateCount() const {
    std::lock_guard lock(mutex_);
    return enumerations_;
}

std::string SimulatedCommunicator::Parameter(const std::string& key) const {
    std::lock_guard lock(mutex_);
    return device_.Parameter(key);
}

void SimulatedCommunicator::SetParameter(const std::string& key, const std::string& value) {
    std::lock_guard lock(mutex_);
    device_.SetParameter(key, value);
}

std::map<std::string, std::string> SimulatedCommunicator::Parameters() const {
    std::lock_guard lock(mutex_);
    return device_.Parameters();
}

std::vector<std::uint8_t> SimulatedCommunicator::ReadMemory(std::uint32_t address,
                                                            std::size_t length) const {
    std::lock_guard lock(mutex_);
    return device_.ReadMemory(address, length);
}

void SimulatedCommunicator::LoadMemory(std::uint32_t address,
                                       const std::vector<std::uint8_t>& bytes) {
    std::lock_guard lock(mutex_);
    device_.LoadMemory(address, bytes);
}

void SimulatedCommunicator::SendStatus(std::uint8_t code, const std::string& text) {
    SendReport(TextReport(code, text));
}

void SimulatedCommunicator::SendReport(const Report& report) {
    std::lock_guard lock(mutex_);
    DeliverLocked(report);
}

void SimulatedCommunicator::Flood(std::size_t count, std::uint8_t code, const std::string& text) {
    const Report report = TextReport(code, text);
    std::lock_guard lock(mutex_);
    for (std::size_t i = 0; i < count; ++i) {
        DeliverLocked(report);
    }
}

void SimulatedCommunicator::SetStatusPeriod(std::chrono::milliseconds period) {
    {
        std::lock_guard lock(mutex_);
        statusPeriod_ = period;
        nextStatus_ = Clock::now() + period;
    }
    wake_.notify_all();
}

void SimulatedCommunicator::SetStatusTexts(const StatusTexts& texts) {
    std::lock_guard lock(mutex_);
    statusTexts_ = texts;
    if (statusTexts_.signal) {
        statusTexts_.signal = std::clamp(*statusTexts_.signal, 0, kMaxSignal);
    }
}

SimulatedCommunicator::StatusTexts SimulatedCommunicator::GetStatusTexts() const {
    std::lock_guard lock(mutex_);
    return statusTexts_;
}

void SimulatedCommunicator::SendEventLine(const std::string& text) {
    SendStatus(link::kEventLineCode, text);
}

std::vector<RecordedCommand> SimulatedCommunicator::Commands() const {
    std::lock_guard lock(mutex_);
    return commands_;
}

std::size_t SimulatedCommunicator::CommandCount() const {
    std::lock_guard lock(mutex_);
    return commands_.size();
}

void SimulatedCommunicator::ClearCommands() {
    std::lock_guard lock(mutex_);
    commands_.clear();
}

bool SimulatedCommunicator::HandleCommand(std::uint64_t generation, const Report& report) {
    std::lock_guard lock(mutex_);
    if (!plugged_ || generation != generation_) {
        return false;
    }
    RecordedCommand record;
    record.code = report[1];
    record.report = report;
    record.at = Clock::now();
    if (record.code == link::kSetParameter || record.code == link::kGetParameter) {
        record.text = link::TextAt(report, link::kTextOffset);
    } else {
        record.address = link::ReadLe32(&report[link::kAddressOffset]);
    }
    commands_.push_back(std::move(record));
    if (disconnectAfter_) {
        if (*disconnectAfter_ <= 1) {
            // The cable comes out as this command arrives, before any answer.
            disconnectAfter_.reset();
            UnplugLocked();
            return true;
        }
        --*disconnectAfter_;
    }
    std::optional<Report> answer = AnswerLocked(report);
    if (!answer) {
        return true;
    }
    if (timing_.latency.count() == 0 && timing_.frame.count() == 0) {
        DeliverLocked(*answer);
    } else {
        pending_.push_back({DueLocked(), *answer});
        wake_.notify_all();
    }
    return true;
}

std::optional<Report> SimulatedCommunicator::AnswerLocked(const Report& report) {
    if (answersLeft_) {
        if (*answersLeft_ == 0) {
            return std::nullopt;
        }
        --*answersLeft_;
    }
    if (ignored_[report[1]] || dropNumbers_.count(commands_.size()) > 0) {
        return std::nullopt;
    }
    if (dropNext_ > 0) {
        --dropNext_;
        return std::nullopt;
    }
    if (dropRate_ > 0 && std::uniform_real_distribution<double>(0, 1)(random_) < dropRate_) {
        return std::nullopt;
    }
    if (report[1] == link::kReadBlock && wrongAddressReads_ > 0) {
        --wrongAddressReads_;
        Report shifted = report;
        link::WriteLe32(&shifted[link::kAddressOffset],
                        link::ReadLe32(&report[link::kAddressOffset]) + link::kBlockSize);
        return device_.Answer(shifted);
    }
    if (report[1] == link::kSetParameter && !forgottenKeys_.empty()) {
        const std::string text = link::TextAt(report, link::kTextOffset);
        const std::string key = text.substr(0, text.find('='));
        if (forgottenKeys_.count(key) > 0) {
            const std::string kept = device_.Parameter(key);
            std::optional<Report> answer = device_.Answer(report);
            device_.SetParameter(key, kept);
            return answer;
        }
    }
    if (report[1] == link::kWriteBlock && forgottenWrites_ > 0) {
        --forgottenWrites_;
        const std::uint32_t address = link::ReadLe32(&report[link::kAddressOffset]);
        const std::vector<std::uint8_t> kept = device_.ReadMemory(address, link::kBlockSize);
        std::optional<Report> answer = device_.Answer(report);
        device_.LoadMemory(address, kept);
        return answer;
    }
    return device_.Answer(report);
}

Clock::time_point SimulatedCommunicator::DueLocked() const {
    Clock::time_point due = Clock::now() + timing_.latency;
    if (timing_.frame.count() > 0) {
        const auto sinceStart = due - start_;
        const auto frames = (sinceStart + timing_.frame - Clock::duration(1)) / timing_.frame;
        due = start_ + frames * timing_.frame;
    }
    // Answers never overtake each other.
    if (!pending_.empty() && due < pending_.back().due) {
        due = pending_.back().due;
    }
    return due;
}

void SimulatedCommunicator::DeliverLocked(const Report& report) {
    if (!plugged_) {
        return;
    }
    for (const auto& reader : readers_) {
        if (reader->generation == generation_) {
            reader->reports.push_back(report);
        }
    }
    readable_.notify_all();
}

void SimulatedCommunicator::SendPeriodicStatusLocked() {
    signal_ = statusTexts_.signal.value_or(
        std::clamp(signal_ + std::uniform_int_distribution<int>(-2, 2)(random_), 10, 25));
    DeliverLocked(TextReport(200, std::to_string(signal_)));
    DeliverLocked(TextReport(202, statusTexts_.input1));
    DeliverLocked(TextReport(203, statusTexts_.input2));
    DeliverLocked(TextReport(204, "READY"));
    DeliverLocked(TextReport(205, statusTexts_.line));
    if (++statusRounds_ % 8 == 0) {
        static const char* const lines[] = {"E130 01 001", "R130 01 001", "E602 00 000"};
        DeliverLocked(TextReport(206, lines[(statusRounds_ / 8) % 3]));
    }
}

void SimulatedCommunicator::Worker() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        const Clock::time_point now = Clock::now();
        while (!pending_.empty() && pending_.front().due <= now) {
            DeliverLocked(pending_.front().report);
            pending_.pop_front();
        }
        if (statusPeriod_.count() > 0 && now >= nextStatus_) {
            SendPeriodicStatusLocked();
            nextStatus_ = now + statusPeriod_;
        }
        std::optional<Clock::time_point> wakeAt;
        if (!pending_.empty()) {
            wakeAt = pending_.front().due;
        }
        if (statusPeriod_.count() > 0 && (!wakeAt || nextStatus_ < *wakeAt)) {
            wakeAt = nextStatus_;
        }
        if (wakeAt) {
            wake_.wait_until(lock, *wakeAt);
        } else {
            wake_.wait(lock);
        }
    }
}

}  // namespace quelvar::sim

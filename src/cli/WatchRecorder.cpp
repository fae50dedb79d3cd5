#include "cli/WatchRecorder.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "settings/SettingsFile.h"

namespace quelvar::cli {

namespace {

constexpr std::chrono::milliseconds kPoll{100};
constexpr std::uint8_t kSignalCode = 200;

}  // namespace

LogFile::~LogFile() {
    if (file_ != nullptr) {
        std::fclose(file_);
    }
}

std::string LogFile::Problem(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        return settings::SaveProblem(path);
    }
    if (std::filesystem::is_directory(path, ec)) {
        return "it is a folder";
    }
    // Appending changes nothing, but fails where writing would.
    std::FILE* file = std::fopen(path.c_str(), "ab");
    if (file == nullptr) {
        return std::strerror(errno);
    }
    std::fclose(file);
    return {};
}

bool LogFile::Open(const std::string& path) {
    path_ = path;
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) {
        return Fail();
    }
    return Write(exchange::CsvHeader());
}

bool LogFile::Write(const std::string& bytes) {
    if (file_ == nullptr) {
        return false;
    }
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size() ||
        std::fflush(file_) != 0) {
        return Fail();
    }
    return true;
}

bool LogFile::Close() {
    if (file_ == nullptr) {
        return error_.empty();
    }
    errno = 0;
    const bool flushed = std::fflush(file_) == 0;
    const int flushError = errno;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!flushed) {
        errno = flushError;
    }
    return flushed && closed ? true : Fail();
}

bool LogFile::Fail() {
    const int reason = errno;
    error_ = "Unable to write the log " + path_ + ": " +
             (reason != 0 ? std::strerror(reason) : "the write was cut short");
    return false;
}

WatchRecorder::WatchRecorder(link::ConnHIDCOM& connection, LogFile* log)
    : connection_(connection), log_(log), thread_([this] { Run(); }) {}

WatchRecorder::~WatchRecorder() {
    Stop();
}

std::vector<link::StatusRecord> WatchRecorder::TakeForScreen(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, timeout, [&] { return !screen_.empty() || end_ != End::kRunning; });
    std::vector<link::StatusRecord> records(screen_.begin(), screen_.end());
    screen_.clear();
    return records;
}

WatchRecorder::End WatchRecorder::Stop() {
    {
        std::lock_guard lock(mutex_);
        stopRequested_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
    return Ended();
}

WatchRecorder::End WatchRecorder::Ended() const {
    std::lock_guard lock(mutex_);
    return end_;
}

WatchRecorder::Figures WatchRecorder::Snapshot() const {
    std::lock_guard lock(mutex_);
    return figures_;
}

void WatchRecorder::Run() {
    std::unique_lock lock(mutex_);
    while (!stopRequested_ && end_ == End::kRunning) {
        lock.unlock();
        Drain();
        lock.lock();
        changed_.wait_for(lock, kPoll, [&] { return stopRequested_ || end_ != End::kRunning; });
    }
    const bool stopped = end_ == End::kRunning;
    lock.unlock();
    // What came since the last pass is logged too, before the program ends.
    if (stopped) {
        Drain();
    }
    const bool closed = log_ == nullptr || log_->Close();
    lock.lock();
    if (end_ == End::kRunning) {
        end_ = stopped && closed ? End::kStopped : End::kLogFailed;
    } else if (!closed) {
        end_ = End::kLogFailed;
    }
    lock.unlock();
    changed_.notify_all();
}

void WatchRecorder::Drain() {
    std::uint64_t dropped = 0;
    const std::vector<link::StatusRecord> records = connection_.TakeStatusRecords(dropped);
    const bool attached = connection_.Snapshot().attached;
    std::string rows;
    if (dropped > 0) {
        rows += exchange::CsvDroppedRow(std::chrono::system_clock::now(), dropped);
    }
    for (const link::StatusRecord& record : records) {
        rows += exchange::CsvRow(record);
    }
    const bool logged = log_ == nullptr || rows.empty() || log_->Write(rows);
    {
        std::lock_guard lock(mutex_);
        figures_.dropped += dropped;
        for (const link::StatusRecord& record : records) {
            if (record.code == link::kEventLineCode) {
                ++figures_.events;
            } else if (record.code == kSignalCode) {
                figures_.signal.Add(record.text);
            }
            screen_.push_back(record);
        }
        while (screen_.size() > kScreenBacklog) {
            screen_.pop_front();
        }
        if (end_ == End::kRunning && !logged) {
            end_ = End::kLogFailed;
        } else if (end_ == End::kRunning && !attached && !stopRequested_) {
            end_ = End::kDetached;
        }
    }
    changed_.notify_all();
}

}  // namespace quelvar::cli

#include "ui/DeviceLog.h"

#include <algorithm>

#include "exchange/StatusLog.h"

namespace quelvar::ui {

namespace {

constexpr std::uint8_t kSignalCode = 200;

}  // namespace

void DeviceLog::Add(const std::vector<link::StatusRecord>& records) {
    if (records.empty()) {
        return;
    }
    for (const link::StatusRecord& record : records) {
        if (record.code == link::kEventLineCode) {
            events_.push_back(record);
        } else if (record.code == kSignalCode) {
            signal_.push_back(record);
        }
    }
    const auto oldest = std::chrono::system_clock::now() - kSignalSpan;
    while (!signal_.empty() && signal_.front().at < oldest) {
        signal_.pop_front();
    }
    emit changed();
}

void DeviceLog::SetAttached(bool attached) {
    if (attached == attached_) {
        return;
    }
    attached_ = attached;
    if (!attached) {
        detached_.push_back(std::chrono::system_clock::now());
    }
    const auto oldest = std::chrono::system_clock::now() - kSignalSpan;
    while (!detached_.empty() && detached_.front() < oldest) {
        detached_.pop_front();
    }
    emit changed();
}

bool DeviceLog::GapBetween(std::chrono::system_clock::time_point from,
                           std::chrono::system_clock::time_point to) const {
    return std::any_of(detached_.begin(), detached_.end(),
                       [&](auto at) { return from <= at && at <= to; });
}

std::string DeviceLog::Csv() const {
    std::vector<const link::StatusRecord*> rows;
    rows.reserve(signal_.size() + events_.size());
    for (const auto& record : signal_) {
        rows.push_back(&record);
    }
    for (const auto& record : events_) {
        rows.push_back(&record);
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [](const auto* a, const auto* b) { return a->at < b->at; });
    std::string csv = exchange::CsvHeader();
    for (const link::StatusRecord* record : rows) {
        csv += exchange::CsvRow(*record);
    }
    return csv;
}

}  // namespace quelvar::ui

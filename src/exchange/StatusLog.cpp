#include "exchange/StatusLog.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <ctime>

#include "settings/Cp1250.h"

namespace quelvar::exchange {

std::string StatusName(std::uint8_t code) {
    switch (code) {
        case 200:
            return "signal";
        case 202:
            return "input 1";
        case 203:
            return "input 2";
        case 204:
            return "SIM";
        case 205:
            return "line";
        case link::kEventLineCode:
            return "event";
        default:
            return "status " + std::to_string(code);
    }
}

void SignalStats::Add(const std::string& text) {
    int level = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), level);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || level < 0 ||
        level > kMaxSignalLevel) {
        return;
    }
    minimum_ = count_ == 0 ? level : std::min(minimum_, level);
    maximum_ = count_ == 0 ? level : std::max(maximum_, level);
    sum_ += level;
    ++count_;
}

std::optional<double> SignalStats::Mean() const {
    if (count_ == 0) {
        return std::nullopt;
    }
    return static_cast<double>(sum_) / static_cast<double>(count_);
}

namespace {

std::string TimeText(std::chrono::system_clock::time_point at, const char* format, bool utc) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(at);
    std::tm parts{};
#ifdef _WIN32
    utc ? gmtime_s(&parts, &seconds) : localtime_s(&parts, &seconds);
#else
    utc ? gmtime_r(&seconds, &parts) : localtime_r(&seconds, &parts);
#endif
    char text[64];
    return std::string(text, std::strftime(text, sizeof text, format, &parts));
}

}  // namespace

std::string IsoTime(std::chrono::system_clock::time_point at) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(at.time_since_epoch());
    char fraction[8];
    std::snprintf(fraction, sizeof fraction, ".%03dZ", static_cast<int>(ms.count() % 1000));
    return TimeText(std::chrono::system_clock::time_point(
                        std::chrono::duration_cast<std::chrono::seconds>(ms)),
                    "%Y-%m-%dT%H:%M:%S", true) +
           fraction;
}

std::string LocalTimeText(std::chrono::system_clock::time_point at, const char* format) {
    return TimeText(at, format, false);
}

std::string CsvHeader() {
    return "time,code,name,text\r\n";
}

std::string CsvField(const std::string& utf8) {
    if (utf8.find_first_of(",\"\r\n") == std::string::npos) {
        return utf8;
    }
    std::string quoted = "\"";
    for (const char c : utf8) {
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    }
    return quoted + "\"";
}

std::string CsvText(std::string_view cp1250) {
    constexpr std::string_view kFormulaStarts = "=+-@\t\r";
    const bool formula = !cp1250.empty() && kFormulaStarts.find(cp1250[0]) != std::string::npos;
    return (formula ? "'" : "") + settings::Cp1250ToPrintableUtf8(cp1250);
}

std::string CsvRow(const link::StatusRecord& record) {
    return IsoTime(record.at) + "," + std::to_string(record.code) + "," +
           CsvField(StatusName(record.code)) + "," + CsvField(CsvText(record.text)) + "\r\n";
}

std::string CsvDroppedRow(std::chrono::system_clock::time_point at, std::uint64_t count) {
    return IsoTime(at) + ",,dropped," + std::to_string(count) +
           " records lost: the log did not keep up\r\n";
}

}  // namespace quelvar::exchange

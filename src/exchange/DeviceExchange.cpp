#include "exchange/DeviceExchange.h"

#include <algorithm>

namespace quelvar::exchange {

using link::Command;

namespace {

// Command byte k goes to report byte k + 1, so the text field starts at command byte 4.
constexpr std::size_t kCommandTextOffset = link::kTextOffset - 1;
constexpr std::size_t kMaxKey = link::kMaxRequestText - 1;  // room for at least the "="

Command TextCommand(std::uint8_t code, const std::string& text) {
    Command command{};
    command[0] = code;
    std::copy(text.begin(), text.end(), command.begin() + kCommandTextOffset);
    return command;
}

}  // namespace

DeviceExchange::DeviceExchange(link::ConnHIDCOM& connection, ExchangeHooks hooks)
    : connection_(connection), hooks_(std::move(hooks)) {}

std::string DeviceExchange::GetParameter(const std::string& key) {
    return TryGetParameter(key).value_or(std::string());
}

std::optional<std::string> DeviceExchange::TryGetParameter(const std::string& key) {
    if (!connection_.HasDevice() || key.size() > link::kMaxRequestText) {
        return std::nullopt;
    }
    link::Report reply{};
    const bool answered = Send(TextCommand(link::kGetParameter, key), &reply);
    if (!answered) {
        ++tally_.gets;
        return std::nullopt;
    }
    return link::TextAt(reply, link::kTextOffset + 1 + key.size());
}

SetOutcome DeviceExchange::SetParameter(const std::string& key, const std::string& value) {
    if (!connection_.HasDevice()) {
        return SetOutcome::kNoDevice;
    }
    const std::string text = key + "=" + value;
    if (key.size() > kMaxKey || text.size() > link::kMaxRequestText) {
        // Would run past the end of the report; the caller reports it.
        tally_.tooLongKeys.push_back(key);
        return SetOutcome::kTooLong;
    }
    WriteStatus(kSettingsChanging);
    const bool acknowledged = Send(TextCommand(link::kSetParameter, text));
    WriteStatus("");
    if (!acknowledged) {
        ++tally_.sets;
        return SetOutcome::kUnanswered;
    }
    return SetOutcome::kAcknowledged;
}

bool DeviceExchange::Send(const link::Command& command, link::Report* reply) {
    lastSend_ = connection_.Send(command, reply);
    ++sends_;
    return lastSend_ == link::SendResult::kAcknowledged;
}

void DeviceExchange::ReadTableFromDevice(settings::TTableRule& table) {
    table.ForEachRow([&](const std::string& caption, const std::string& key) {
        table.SetValue(caption, GetParameter(key));
    });
}

void DeviceExchange::WriteTableToDevice(settings::TTableRule& table) {
    table.ForEachRow([&](const std::string& caption, const std::string& key) {
        SetParameter(key, table.GetValue(caption));
    });
}

SetOutcome DeviceExchange::SetRowParameter(settings::TTableRule& table, const std::string& caption,
                                           const std::string& value) {
    return SetParameter(table.GetKey(caption), value);
}

void DeviceExchange::WriteStatus(const std::string& text) {
    if (hooks_.writeStatus) {
        hooks_.writeStatus(text);
    }
}

bool DeviceExchange::TimerEnabled() {
    return hooks_.timerEnabled && hooks_.timerEnabled();
}

void DeviceExchange::SetTimerEnabled(bool enabled) {
    if (hooks_.setTimerEnabled) {
        hooks_.setTimerEnabled(enabled);
    }
}

}  // namespace quelvar::exchange

#include "exchange/DeviceSession.h"

#include "exchange/SessionStage.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "settings/AlarmTableImage.h"
#include "settings/InputTableImage.h"
#include "settings/SettingsFile.h"

namespace quelvar::exchange {

using settings::TableId;
using Clock = std::chrono::steady_clock;

namespace {

int ParameterCount(const settings::SettingsModel& model) {
    int count = 0;
    for (const settings::CatalogueTable& table : settings::AllTables()) {
        count += model.Rule(table.id).RowsAdded();
    }
    return count;
}

}  // namespace

std::string WhileStage(std::string stage) {
    if (stage.empty()) {
        return stage;
    }
    stage[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(stage[0])));
    // "writing alarm table" reads better as "writing the alarm table".
    if (const std::size_t space = stage.find(' '); stage.ends_with(" table")) {
        stage.insert(space + 1, "the ");
    }
    return " while " + stage;
}

DeviceSession::DeviceSession(DeviceExchange& exchange, Progress progress,
                             std::chrono::milliseconds silenceLimit,
                             std::function<bool()> stopRequested)
    : exchange_(exchange),
      progress_(std::move(progress)),
      silenceLimit_(silenceLimit),
      stopRequested_(std::move(stopRequested)),
      observedSends_(exchange.Sends()),
      ackTimeout_(exchange.Connection().AckTimeout()) {}

DeviceSession::~DeviceSession() = default;

TransferHooks DeviceSession::Transfer() {
    TransferHooks transfer;
    // Every memory block reports progress right after its command, so the session sees each
    // answer or its absence.
    transfer.progress = [this](int position, int maximum) {
        if (progress_.transfer) {
            progress_.transfer(position, maximum);
        }
        if (progress_.advance) {
            progress_.advance(position);
        }
        ObserveMemory();
    };
    // Once the session has failed, a transfer under way stops at its next block and a table
    // read is not retried.
    transfer.stopRequested = [this] { return Failed() || CallerStopped(); };
    return transfer;
}

void DeviceSession::Observe(bool answered) {
    if (!Failed() && CallerStopped()) {
        fault_ = SessionFault::kStopped;
        faultStage_ = stage_;
    }
    const Clock::time_point now = Clock::now();
    const std::optional<Clock::time_point> previous = std::exchange(lastObservation_, now);
    if (answered) {
        silentSince_.reset();
        return;
    }
    // The silence began when the first unanswered command was sent: about when the command
    // before it ended, and at most one acknowledgement wait ago.
    if (!silentSince_) {
        const Clock::time_point sent = now - ackTimeout_;
        silentSince_ = previous ? std::max(*previous, sent) : sent;
    }
    if (Failed()) {
        return;
    }
    // Whatever fails the session also stops the transfer under way at its next block (the
    // stop hook above), so a dead device does not hold the caller for minutes.
    if (exchange_.LastSend() == link::SendResult::kDetached ||
        !exchange_.Connection().IsAttached()) {
        Detached();
    } else if (silenceLimit_.count() > 0 && now - *silentSince_ >= silenceLimit_) {
        fault_ = SessionFault::kSilent;
        faultStage_ = stage_;
    }
}

void DeviceSession::Detached() {
    if (!Failed()) {
        // A stop asked for meanwhile explains the end better than a device gone.
        const bool stopped = CallerStopped();
        fault_ = stopped ? SessionFault::kStopped : SessionFault::kDetached;
        faultStage_ = stage_;
    }
}

void DeviceSession::ObserveSet(SetOutcome outcome) {
    switch (outcome) {
        case SetOutcome::kAcknowledged:
            Observe(true);
            break;
        case SetOutcome::kUnanswered:
            Observe(false);
            break;
        case SetOutcome::kNoDevice:
            Detached();
            break;
        case SetOutcome::kTooLong:
        case SetOutcome::kNotSent:
            break;  // never sent, so it says nothing of the device
    }
}

void DeviceSession::ObserveMemory() {
    // A transfer reports its progress at the start and end of each pass too: only a block's own
    // command has an outcome to observe.
    if (exchange_.Sends() == observedSends_) {
        return;
    }
    observedSends_ = exchange_.Sends();
    Observe(exchange_.Connection().HasDevice() &&
            exchange_.LastSend() == link::SendResult::kAcknowledged);
}

std::optional<std::string> DeviceSession::Get(const std::string& key) {
    if (Failed()) {
        return std::nullopt;
    }
    std::optional<std::string> value = exchange_.TryGetParameter(key);
    Observe(value.has_value());
    if (!exchange_.Connection().HasDevice()) {
        Detached();
    }
    return value;
}

DevicePassword DeviceSession::ReadPassword() {
    return ParseDevicePassword(Get("PW"));
}

ReadAllResult DeviceSession::ReadEverything(settings::SettingsModel& model,
                                            const SettingsRead& settingsRead) {
    ReadAllResult result;
    if (!model.IsSetUp()) {
        return result;
    }
    auto read = [&](const std::string& key) {
        std::optional<std::string> value = Get(key);
        if (!value) {
            result.unansweredKeys.push_back(key);
        }
        return value.value_or(std::string());
    };
    {
        Stage stage(*this, kReadingSettings, ParameterCount(model) + 1);
        for (const TableId id : settings::kLogInReadOrder) {
            settings::TTableRule& table = model.Rule(id);
            table.ForEachRow([&](const std::string& caption, const std::string& key) {
                if (!Failed()) {
                    table.SetValue(caption, read(key));
                    stage.Step();
                }
            });
        }
        if (Failed()) {
            return result;
        }
        result.modeIndex = settings::ModeIndexOfName(read(std::string(settings::kModeKey)));
        stage.Step();
    }
    if (settingsRead) {
        settingsRead(result.modeIndex);
    }
    if (result.modeIndex == kStandaloneMode) {
        result.ackMask = ReadAckMarks(model);
    }
    if (Failed()) {
        return result;
    }
    result.alarms = ReadAlarmTable(model);
    if (Failed()) {
        return result;
    }
    result.inputs = ReadInputTable(model);
    if (!Failed()) {
        result.firmwareVersion = Get("VSTR");
    }
    return result;
}

UnansweredTally DeviceSession::WriteEverything(const settings::SettingsModel& model, int modeIndex,
                                               const std::string& ackMask) {
    exchange_.ResetUnanswered();
    if (!model.IsSetUp() || Failed()) {
        return exchange_.Unanswered();
    }
    WriteParameters(model, modeIndex, ackMask);
    WriteAlarmTable(model);
    WriteInputTable(model);
    return exchange_.Unanswered();
}

UnansweredTally DeviceSession::WriteSettings(const settings::SettingsModel& model, int modeIndex,
                                             const std::string& ackMask) {
    exchange_.ResetUnanswered();
    if (model.IsSetUp() && !Failed()) {
        WriteParameters(model, modeIndex, ackMask);
    }
    return exchange_.Unanswered();
}

void DeviceSession::WriteParameters(const settings::SettingsModel& model, int modeIndex,
                                    const std::string& ackMask) {
    {
        Stage stage(*this, kWritingSettings, ParameterCount(model) + 2);
        auto send = [&](const std::string& key, const std::string& value) {
            if (!Failed()) {
                ObserveSet(exchange_.SetParameter(key, value));
                stage.Step();
            }
        };
        for (const TableId id : settings::kWriteBackOrder) {
            const settings::TTableRule& table = model.Rule(id);
            table.ForEachRow([&](const std::string& caption, const std::string& key) {
                send(key, table.GetValue(caption));
            });
        }
        send("GACK", ackMask);
        if (!Failed()) {
            WriteOperatingMode(modeIndex);
            stage.Step();
        }
    }
}

SetOutcome DeviceSession::WriteOperatingMode(int modeIndex) {
    if (Failed()) {
        return SetOutcome::kNotSent;
    }
    const SetOutcome outcome =
        exchange_.SetParameter(std::string(settings::kModeKey), settings::ModeName(modeIndex));
    ObserveSet(outcome);
    return outcome;
}

EventReadOutcome DeviceSession::ReadAlarmTable(settings::SettingsModel& model) {
    return ReadTable(settings::kAlarmTable, model.AlarmGrid());
}

EventReadOutcome DeviceSession::ReadInputTable(settings::SettingsModel& model) {
    return ReadTable(settings::kInputTable, model.InputGrid());
}

MemoryWriteResult DeviceSession::WriteAlarmTable(const settings::SettingsModel& model) {
    return WriteTable(settings::kAlarmTable, model.AlarmGrid());
}

MemoryWriteResult DeviceSession::WriteInputTable(const settings::SettingsModel& model) {
    return WriteTable(settings::kInputTable, model.InputGrid());
}

EventReadOutcome DeviceSession::ReadTable(const settings::EventTable& table,
                                          settings::StringGrid& grid) {
    Stage stage(*this, std::string("Reading ") + table.name, static_cast<int>(table.length));
    const EventReadOutcome outcome = ReadEventTable(exchange_, table, grid, Transfer());
    if (outcome == EventReadOutcome::kRead) {
        stage.Finish();
    }
    return outcome;
}

MemoryWriteResult DeviceSession::WriteTable(const settings::EventTable& table,
                                            const settings::StringGrid& grid) {
    if (Failed()) {
        return {};
    }
    Stage stage(*this, std::string("Writing ") + table.name, static_cast<int>(table.length));
    const MemoryWriteResult written = WriteEventTable(exchange_, table, grid, Transfer());
    if (written.unanswered == 0) {
        stage.Finish();
    }
    return written;
}

std::string DeviceSession::ReadAckMarks(settings::SettingsModel& model) {
    return settings::ShowAckMask(model, Get("GACK").value_or(std::string()));
}

LogInOutcome DeviceSession::LogIn(const PasswordAsker& ask) {
    bool wrongBefore = false;
    for (;;) {
        const DevicePassword password = ReadPassword();
        if (Failed()) {
            return LogInOutcome::kFault;
        }
        switch (password.kind) {
            case DevicePassword::Kind::kNoneNeeded:
                return LogInOutcome::kLoggedIn;
            case DevicePassword::Kind::kNotANumber:
                return LogInOutcome::kPasswordUnreadable;
            case DevicePassword::Kind::kOutOfReach:
                return LogInOutcome::kPasswordOutOfReach;
            case DevicePassword::Kind::kUnanswered:
                // One lost answer is asked again; a device that stays silent fails the session.
                if (silenceLimit_.count() == 0) {
                    return LogInOutcome::kUnanswered;
                }
                continue;
            case DevicePassword::Kind::kNumber:
                break;
        }
        const std::optional<long long> entry = ask ? ask(wrongBefore) : std::nullopt;
        if (!entry) {
            return wrongBefore ? LogInOutcome::kWrongPassword : LogInOutcome::kCancelled;
        }
        if (password.Accepts(*entry)) {
            return LogInOutcome::kLoggedIn;
        }
        wrongBefore = true;
    }
}

VerifyResult DeviceSession::Verify(const settings::SettingValues& expected,
                                   const std::string& ackMaskWritten,
                                   settings::SettingsModel& readBack) {
    VerifyResult verify;
    verify.ackMaskWritten = ackMaskWritten;
    verify.read = ReadEverything(readBack);
    verify.deviceValues = settings::ValuesOf(readBack, verify.read.modeIndex);
    verify.differences = settings::CompareSettings(expected, verify.deviceValues);
    if (verify.read.modeIndex == kStandaloneMode && !ackMaskWritten.empty() &&
        verify.read.ackMask != ackMaskWritten) {
        verify.deviceAckMask = verify.read.ackMask;
    }
    return verify;
}

SettingsLoadResult DeviceSession::LoadSettingsFile(const settings::SettingsFileContent& content,
                                                   settings::SettingsModel& model) {
    SettingsLoadResult result;
    result.modeIndex = content.ModeIndex();
    if (!model.IsSetUp()) {
        return result;  // no tables to show the values in, so nothing is sent either
    }
    {
        Stage stage(*this, kLoadingSettings, ParameterCount(model));
        for (const settings::TableId id : settings::kSettingsFileTableOrder) {
            settings::TTableRule& table = model.Rule(id);
            table.ForEachRow([&](const std::string& caption, const std::string& key) {
                LoadOne(table, caption, key, content.Value(key), result);
                stage.Step();
            });
        }
    }
    settings::FillEventGridsFromFile(content, model);
    if (!exchange_.Connection().HasDevice()) {
        result.noDevice = true;
    }
    WriteEventTables(model, result);
    result.stopped = Failed();
    return result;
}

void DeviceSession::LoadOne(settings::TTableRule& table, const std::string& caption,
                            const std::string& key, const std::string& value,
                            SettingsLoadResult& result) {
    const std::string before = table.GetValue(caption);
    table.SetValue(caption, value);
    if (Failed()) {
        ++result.unsentSets;
        return;
    }
    const SetOutcome outcome = exchange_.SetRowParameter(table, caption, value);
    ObserveSet(outcome);
    switch (outcome) {
        case SetOutcome::kAcknowledged:
            break;
        case SetOutcome::kUnanswered:
            ++result.unansweredSets;
            break;
        case SetOutcome::kNoDevice:
            result.noDevice = true;
            break;
        case SetOutcome::kNotSent:
            ++result.unsentSets;
            break;
        case SetOutcome::kTooLong:
            // Never sent, so the cell must not show it as if the device held it.
            table.SetValue(caption, before);
            result.tooLongKeys.push_back(key);
            break;
    }
}

void DeviceSession::WriteEventTables(const settings::SettingsModel& model,
                                     SettingsLoadResult& result) {
    auto count = [&](const MemoryWriteResult& write) {
        result.unansweredMemoryRequests += write.unanswered;
        if (write.firstUnansweredAddress && !result.firstUnansweredAddress) {
            result.firstUnansweredAddress = write.firstUnansweredAddress;
        }
    };
    count(WriteAlarmTable(model));
    count(WriteInputTable(model));
}

SetOutcome DeviceSession::SetPassword(long long encoded) {
    if (Failed()) {
        return SetOutcome::kNotSent;
    }
    const SetOutcome outcome = exchange_.SetParameter("PW", std::to_string(encoded));
    ObserveSet(outcome);
    return outcome;
}

}  // namespace quelvar::exchange

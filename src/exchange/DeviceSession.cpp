#include "exchange/DeviceSession.h"

#include <algorithm>
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

// Brackets one stage for the progress callbacks, however the stage ends.
class DeviceSession::Stage {
  public:
    Stage(DeviceSession& session, const std::string& name, int maximum)
        : session_(session), maximum_(maximum) {
        session_.stage_ = name;
        if (session_.progress_.begin) {
            session_.progress_.begin(name, maximum);
        }
    }
    ~Stage() {
        session_.stage_.clear();
        if (session_.progress_.end) {
            session_.progress_.end();
        }
    }
    Stage(const Stage&) = delete;
    Stage& operator=(const Stage&) = delete;

    void Step() {
        if (session_.progress_.advance) {
            session_.progress_.advance(++position_);
        }
    }
    // A transfer reports the start of its last block, not its end.
    void Finish() {
        if (session_.progress_.advance) {
            session_.progress_.advance(maximum_);
        }
    }

  private:
    DeviceSession& session_;
    int maximum_;
    int position_ = 0;
};

DeviceSession::DeviceSession(DeviceExchange& exchange, Progress progress,
                             std::chrono::milliseconds silenceLimit)
    : exchange_(exchange),
      progress_(std::move(progress)),
      silenceLimit_(silenceLimit),
      callerProgress_(exchange.Hooks().progress),
      callerAckTimeout_(exchange.Connection().device ? exchange.Connection().device->ackTimeout
                                                     : exchange.Connection().ackTimeout) {
    // Every memory block reports progress right after its command, so the hook sees each
    // answer or its absence.
    exchange_.Hooks().progress = [this](int position, int maximum) {
        if (callerProgress_) {
            callerProgress_(position, maximum);
        }
        if (progress_.advance) {
            progress_.advance(position);
        }
        ObserveMemory();
    };
}

DeviceSession::~DeviceSession() {
    exchange_.Hooks().progress = callerProgress_;
    if (link::HID* device = exchange_.Connection().device.get()) {
        device->ackTimeout = callerAckTimeout_;
    }
}

void DeviceSession::Observe(bool answered) {
    if (!Failed() && exchange_.Hooks().stopRequested && exchange_.Hooks().stopRequested()) {
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
        const Clock::time_point sent = now - callerAckTimeout_;
        silentSince_ = previous ? std::max(*previous, sent) : sent;
    }
    if (Failed()) {
        return;
    }
    if (!exchange_.Connection().IsAttached()) {
        Detached();
    } else if (silenceLimit_.count() > 0 && now - *silentSince_ >= silenceLimit_) {
        fault_ = SessionFault::kSilent;
        faultStage_ = stage_;
        // A transfer already under way cannot be stopped from here, so its remaining commands
        // are no longer waited for: a dead device must not hold the caller for minutes.
        exchange_.Connection().device->ackTimeout = std::chrono::milliseconds(0);
    }
}

void DeviceSession::Detached() {
    if (!Failed()) {
        // A stop asked for meanwhile explains the end better than a device gone.
        const bool stopped = exchange_.Hooks().stopRequested && exchange_.Hooks().stopRequested();
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
            break;  // never sent, so it says nothing of the device
    }
}

void DeviceSession::ObserveMemory() {
    const link::HID* device = exchange_.Connection().device.get();
    Observe(device != nullptr && device->ackReceived);
}

std::optional<std::string> DeviceSession::Get(const std::string& key) {
    if (Failed()) {
        return std::nullopt;
    }
    std::optional<std::string> value = exchange_.TryGetParameter(key);
    Observe(value.has_value());
    if (!exchange_.Connection().device) {
        Detached();
    }
    return value;
}

DevicePassword DeviceSession::ReadPassword() {
    return ParseDevicePassword(Get("PW"));
}

ReadAllResult DeviceSession::ReadEverything(settings::SettingsModel& model) {
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
        Stage stage(*this, "Reading settings", ParameterCount(model) + 1);
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
    if (result.modeIndex == kStandaloneMode) {
        result.ackMask = settings::ShowAckMask(model, Get("GACK").value_or(std::string()));
    }
    if (Failed()) {
        return result;
    }
    {
        Stage stage(*this, "Reading alarm table", static_cast<int>(settings::kAlarmTableLength));
        result.alarms = ReadAlarmTable(exchange_, model.AlarmGrid());
        if (result.alarms == EventReadOutcome::kRead) {
            stage.Finish();
        }
    }
    if (Failed()) {
        return result;
    }
    {
        Stage stage(*this, "Reading input table", static_cast<int>(settings::kInputTableLength));
        result.inputs = ReadInputTable(exchange_, model.InputGrid());
        if (result.inputs == EventReadOutcome::kRead) {
            stage.Finish();
        }
    }
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
    {
        Stage stage(*this, "Writing settings", ParameterCount(model) + 2);
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
        send(std::string(settings::kModeKey), settings::ModeName(modeIndex));
    }
    if (!Failed()) {
        Stage stage(*this, "Writing alarm table", static_cast<int>(settings::kAlarmTableLength));
        if (WriteAlarmTable(exchange_, model.AlarmGrid()).unanswered == 0) {
            stage.Finish();
        }
    }
    if (!Failed()) {
        Stage stage(*this, "Writing input table", static_cast<int>(settings::kInputTableLength));
        if (WriteInputTable(exchange_, model.InputGrid()).unanswered == 0) {
            stage.Finish();
        }
    }
    return exchange_.Unanswered();
}

SetOutcome DeviceSession::SetPassword(long long encoded) {
    if (Failed()) {
        return SetOutcome::kUnanswered;
    }
    const SetOutcome outcome = exchange_.SetParameter("PW", std::to_string(encoded));
    ObserveSet(outcome);
    return outcome;
}

}  // namespace quelvar::exchange

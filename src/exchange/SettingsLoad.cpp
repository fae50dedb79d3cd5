#include "exchange/SettingsLoad.h"

#include "exchange/EventTables.h"

namespace quelvar::exchange {

namespace {

void Count(SettingsLoadResult& result, const MemoryWriteResult& write) {
    result.unansweredMemoryRequests += write.unanswered;
    if (write.firstUnansweredAddress && !result.firstUnansweredAddress) {
        result.firstUnansweredAddress = write.firstUnansweredAddress;
    }
}

}  // namespace

SettingsLoadResult ApplySettingsFile(const settings::SettingsFileContent& content,
                                     settings::SettingsModel& model, DeviceExchange& exchange) {
    SettingsLoadResult result;
    result.modeIndex = content.ModeIndex();
    if (!model.IsSetUp()) {
        return result;  // no tables to show the values in, so nothing is sent either
    }
    for (const settings::TableId id : settings::kSettingsFileTableOrder) {
        settings::TTableRule& table = model.Rule(id);
        table.ForEachRow([&](const std::string& caption, const std::string& key) {
            const std::string value = content.Value(key);
            const std::string before = table.GetValue(caption);
            table.SetValue(caption, value);
            switch (exchange.SetRowParameter(table, caption, value)) {
                case SetOutcome::kAcknowledged:
                    break;
                case SetOutcome::kUnanswered:
                    ++result.unansweredSets;
                    break;
                case SetOutcome::kNoDevice:
                    result.noDevice = true;
                    break;
                case SetOutcome::kTooLong:
                    // Never sent, so the cell must not show it as if the device held it.
                    table.SetValue(caption, before);
                    result.tooLongKeys.push_back(key);
                    break;
            }
        });
    }
    settings::FillEventGridsFromFile(content, model);
    if (!exchange.Connection().device) {
        result.noDevice = true;
    }
    Count(result, WriteAlarmTable(exchange, model.AlarmGrid()));
    Count(result, WriteInputTable(exchange, model.InputGrid()));
    return result;
}

}  // namespace quelvar::exchange

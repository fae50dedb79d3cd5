// The parts of a write of only what differs that talk to the device: a list of parameters, and
// single sectors of an event table written and read back.

#include "exchange/DeviceSession.h"
#include "exchange/EventTables.h"
#include "exchange/SessionStage.h"

#include <algorithm>

namespace quelvar::exchange {

UnansweredTally DeviceSession::WriteParameterList(
    const std::vector<std::pair<std::string, std::string>>& parameters) {
    exchange_.ResetUnanswered();
    if (parameters.empty() || Failed()) {
        return exchange_.Unanswered();
    }
    Stage stage(*this, kWritingSettings, static_cast<int>(parameters.size()));
    for (const auto& [key, value] : parameters) {
        if (Failed()) {
            break;
        }
        ObserveSet(exchange_.SetParameter(key, value));
        stage.Step();
    }
    return exchange_.Unanswered();
}

MemoryWriteResult DeviceSession::WriteSectors(const settings::EventTable& table,
                                              const std::vector<std::uint8_t>& image,
                                              const std::vector<std::size_t>& offsets) {
    MemoryWriteResult total;
    if (offsets.empty() || Failed()) {
        return total;
    }
    Stage stage(*this, std::string("Writing ") + table.name, static_cast<int>(table.length));
    for (const std::size_t offset : offsets) {
        if (Failed()) {
            break;
        }
        const std::size_t length = std::min<std::size_t>(kEraseStep, image.size() - offset);
        const MemoryWriteResult written = exchange_.WriteMemory(
            image.data() + offset, table.address + static_cast<std::uint32_t>(offset), length,
            Transfer());
        total.unanswered += written.unanswered;
        if (!total.firstUnansweredAddress) {
            total.firstUnansweredAddress = written.firstUnansweredAddress;
        }
    }
    if (total.unanswered == 0 && !Failed()) {
        stage.Finish();
    }
    return total;
}

bool DeviceSession::ReadSectors(const settings::EventTable& table,
                                const std::vector<std::size_t>& offsets,
                                std::vector<std::uint8_t>& image) {
    if (offsets.empty() || Failed()) {
        return !Failed();
    }
    Stage stage(*this, std::string("Reading ") + table.name, static_cast<int>(table.length));
    for (const std::size_t offset : offsets) {
        const std::size_t length = std::min<std::size_t>(kEraseStep, image.size() - offset);
        if (Failed() || !exchange_.ReadMemory(image.data() + offset,
                                              table.address + static_cast<std::uint32_t>(offset),
                                              length, Transfer())) {
            return false;
        }
    }
    return !Failed();
}

}  // namespace quelvar::exchange

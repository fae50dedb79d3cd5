#include "exchange/EventTables.h"

#include <thread>
#include <vector>

#include "settings/AlarmTableImage.h"
#include "settings/InputTableImage.h"

namespace quelvar::exchange {

namespace {

using Clock = std::chrono::steady_clock;

// Waits out the pause between two whole reads while the window keeps processing messages.
void PauseBeforeRetry(DeviceExchange& exchange) {
    const Clock::time_point until = Clock::now() + kEventReadRetryWait;
    while (Clock::now() < until) {
        if (exchange.Hooks().processMessages) {
            exchange.Hooks().processMessages();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

bool DeviceGone(DeviceExchange& exchange) {
    return !exchange.Connection().IsAttached();
}

// Reads the image, retrying whole reads; only a complete image reaches `fill`.
template <typename Fill>
EventReadOutcome ReadImage(DeviceExchange& exchange, std::uint32_t address, std::size_t length,
                           const TransferHooks& transfer, Fill fill) {
    if (!exchange.Connection().HasDevice()) {
        return EventReadOutcome::kNoDevice;
    }
    std::vector<std::uint8_t> image(length);
    for (int attempt = 1; !exchange.ReadMemory(image.data(), address, length, transfer);
         ++attempt) {
        // Retrying a device that is gone would keep the monitor from ever seeing the unplug.
        if (DeviceGone(exchange)) {
            return EventReadOutcome::kDetached;
        }
        const bool stopped = transfer.stopRequested && transfer.stopRequested();
        if (attempt >= kMaxEventTableReads || stopped) {
            return EventReadOutcome::kFailed;
        }
        PauseBeforeRetry(exchange);
    }
    if (!exchange.Connection().HasDevice()) {
        return EventReadOutcome::kNoDevice;
    }
    fill(image);
    return EventReadOutcome::kRead;
}

}  // namespace

MemoryWriteResult WriteEventTable(DeviceExchange& exchange, const settings::EventTable& table,
                                  const settings::StringGrid& grid, const TransferHooks& transfer) {
    const std::vector<std::uint8_t> image = table.build(grid);
    return exchange.WriteMemory(image.data(), table.address, image.size(), transfer);
}

EventReadOutcome ReadEventTable(DeviceExchange& exchange, const settings::EventTable& table,
                                settings::StringGrid& grid, const TransferHooks& transfer) {
    return ReadImage(exchange, table.address, table.length, transfer,
                     [&](const std::vector<std::uint8_t>& image) { table.fill(grid, image); });
}

}  // namespace quelvar::exchange

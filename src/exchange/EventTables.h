#pragma once
// The alarm and input event tables between their grids and the device's memory images.

#include <chrono>

#include "exchange/DeviceExchange.h"
#include "settings/StringGrid.h"

namespace quelvar::exchange {

// A failed read of a whole table waits this long and starts again, at most this often.
inline constexpr std::chrono::milliseconds kEventReadRetryWait{200};
inline constexpr int kMaxEventTableReads = 5;

enum class EventReadOutcome {
    kRead,      // the grid now shows the device's table
    kNoDevice,  // no device object: grid left as it was
    kDetached,  // the device went away: grid left as it was
    kFailed,    // every read failed: grid left as it was
};

MemoryWriteResult WriteAlarmTable(DeviceExchange& exchange, const settings::StringGrid& grid);
MemoryWriteResult WriteInputTable(DeviceExchange& exchange, const settings::StringGrid& grid);
EventReadOutcome ReadAlarmTable(DeviceExchange& exchange, settings::StringGrid& grid);
EventReadOutcome ReadInputTable(DeviceExchange& exchange, settings::StringGrid& grid);

}  // namespace quelvar::exchange

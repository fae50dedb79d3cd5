#pragma once
// The alarm and input event tables between their grids and the device's memory images.

#include <chrono>

#include "exchange/DeviceExchange.h"
#include "settings/EventTable.h"
#include "settings/StringGrid.h"

namespace quelvar::exchange {

// A failed read of a whole table waits this long and starts again, at most this often.
inline constexpr std::chrono::milliseconds kEventReadRetryWait{200};
inline constexpr int kMaxEventTableReads = 5;

enum class EventReadOutcome {
    kRead,      // the grid now shows the device's table
    kNoDevice,  // no device object: grid left as it was
    kDetached,  // the device went away: grid left as it was
    kFailed,    // every read failed, or a stop came: grid left as it was
};

// The table's image of the grid, erased and written to the device's memory. Fails as
// WriteMemory does: unanswered requests are counted, and after a stop the rest is not.
MemoryWriteResult WriteEventTable(DeviceExchange& exchange, const settings::EventTable& table,
                                  const settings::StringGrid& grid,
                                  const TransferHooks& transfer = {});
// The table read from the device's memory (whole reads retried) and filled into the grid.
// kFailed after five failed reads or on a stop, kDetached once the device is gone, kNoDevice
// without a device object.
EventReadOutcome ReadEventTable(DeviceExchange& exchange, const settings::EventTable& table,
                                settings::StringGrid& grid, const TransferHooks& transfer = {});

}  // namespace quelvar::exchange

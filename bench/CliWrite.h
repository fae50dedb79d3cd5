#pragma once
// The command line's write, backup read included, timed in this process against the simulated
// communicator with the benchmark's USB timing model.

#include <QString>

#include "Measures.h"

namespace quelvar::bench {

// Log-in, the backup's full read and save, the writes and the read-back that verifies them.
// The connection's wait for the device before the first command is not counted.
Run MeasureCliWrite(const QString& folder);

}  // namespace quelvar::bench

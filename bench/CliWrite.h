#pragma once
// The command line's write, backup read included, timed in this process against the simulated
// communicator with the benchmark's USB timing model.

#include <QString>

#include "Measures.h"

namespace quelvar::bench {

struct CliWriteRuns {
    Run everything;  // --all: the backup's read, every write, the whole read-back
    Run oneChange;   // a file differing in one setting: the backup's read, one set, its read-back
};

// Log-in, the backup's full read and save, the writes and the read-back that verifies them.
// The connection's wait for the device before the first command is not counted.
CliWriteRuns MeasureCliWrite(const QString& folder);

}  // namespace quelvar::bench

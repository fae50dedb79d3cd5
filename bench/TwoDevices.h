#pragma once
// Two communicators exchanging at once, each through its own connection, receiver and thread,
// under the same USB timing model as the window's sequences.

#include "Measures.h"

namespace quelvar::bench {

struct TwoDeviceRuns {
    Run first;
    Run second;
};

// A whole read (the parameters, both event tables, the firmware version) of each device, both
// started together; each one's time and exchanges against its own bus bound.
TwoDeviceRuns MeasureTwoDevices();

}  // namespace quelvar::bench

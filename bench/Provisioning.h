#pragma once
// The provisioning line's throughput: N simulated communicators, each on its own bus timing,
// provisioned at once, against one alone.

#include <QString>
#include <vector>

namespace quelvar::bench {

struct LineRun {
    int devices = 0;
    double seconds = 0;
    double throughputRatio = 0;  // devices per second against one device's, over N
};

// N = 1, 2, 4 and 8; each device differs from the template in one setting.
std::vector<LineRun> MeasureProvisioning(const QString& folder);

}  // namespace quelvar::bench

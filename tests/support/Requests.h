#pragma once
// Requests as the link sends them, for tests that talk to the simulator's handles directly.

#include <algorithm>
#include <string>

#include "link/Report.h"

namespace quelvar::test {

// A get-parameter request for the key.
inline link::Report GetRequest(const std::string& key) {
    link::Report report{};
    report[1] = link::kGetParameter;
    std::copy(key.begin(), key.end(), report.begin() + link::kTextOffset);
    return report;
}

}  // namespace quelvar::test

#include "link/HidPlatform.h"

#include <algorithm>

#include "link/HID.h"

namespace quelvar::link {

std::vector<HidInterface> HidPlatform::EnumerateCommunicators() {
    std::vector<HidInterface> interfaces = Enumerate();
    if (interfaces.size() > kMaxInterfaceIndex) {
        interfaces.resize(kMaxInterfaceIndex);
    }
    interfaces.erase(
        std::remove_if(interfaces.begin(), interfaces.end(),
                       [](const HidInterface& i) { return !MatchesCommunicator(i.hardwareId); }),
        interfaces.end());
    return interfaces;
}

}  // namespace quelvar::link

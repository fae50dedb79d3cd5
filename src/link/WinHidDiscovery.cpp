#include "link/WinHidDiscovery.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "link/HID.h"

namespace quelvar::link {

namespace {

// Destroys the device-information set however discovery ends.
class DeviceSetGuard {
  public:
    DeviceSetGuard(const WinSetupCalls& calls, WinSetupCalls::DeviceSet set)
        : calls_(calls), set_(set) {}
    ~DeviceSetGuard() { calls_.destroyDeviceInfoList(set_); }
    DeviceSetGuard(const DeviceSetGuard&) = delete;
    DeviceSetGuard& operator=(const DeviceSetGuard&) = delete;

  private:
    const WinSetupCalls& calls_;
    WinSetupCalls::DeviceSet set_;
};

// The size a call asked for without a buffer; 0 when it failed for another reason.
unsigned long AskedSize(const WinSetupCalls& calls, bool succeeded, unsigned long required) {
    if (succeeded || calls.lastError() != kWinErrorInsufficientBuffer) {
        return 0;
    }
    return required;
}

bool HardwareId(const WinSetupCalls& calls, WinSetupCalls::DeviceSet set,
                WinSetupCalls::Element& deviceInfo, std::string& text) {
    unsigned long required = 0;
    const bool sized = calls.getHardwareIdProperty(set, deviceInfo, nullptr, 0, &required);
    const unsigned long size = AskedSize(calls, sized, required);
    if (size == 0) {
        return false;
    }
    std::string buffer(size, '\0');
    if (!calls.getHardwareIdProperty(
            set, deviceInfo, reinterpret_cast<unsigned char*>(buffer.data()), size, &required)) {
        return false;
    }
    // The property is a list of zero-ended texts; the first is the most specific.
    text = buffer.substr(0, buffer.find('\0'));
    return true;
}

// The interface's path and the device element it belongs to.
bool InterfaceDetail(const WinSetupCalls& calls, WinSetupCalls::DeviceSet set,
                     WinSetupCalls::Element& interfaceData, std::string& path,
                     WinSetupCalls::Element& deviceInfo) {
    unsigned long required = 0;
    const bool sized = calls.getInterfaceDetail(set, interfaceData, nullptr, 0, &required, nullptr);
    const unsigned long size = AskedSize(calls, sized, required);
    if (size <= kInterfaceDetailPathOffset) {
        return false;
    }
    // The record starts with a 32-bit field: a buffer of whole 32-bit words keeps it aligned.
    std::vector<std::uint32_t> words((size + 3) / 4, 0);
    const unsigned long bytes = static_cast<unsigned long>(words.size() * sizeof(std::uint32_t));
    if (!calls.getInterfaceDetail(set, interfaceData, words.data(), bytes, &required,
                                  &deviceInfo)) {
        return false;
    }
    const char* text = reinterpret_cast<const char*>(words.data()) + kInterfaceDetailPathOffset;
    path.assign(text, std::find(text, text + (bytes - kInterfaceDetailPathOffset), '\0'));
    return !path.empty();
}

}  // namespace

namespace {

std::vector<HidInterface> Discover(const WinSetupCalls& calls, bool every) {
    std::vector<HidInterface> found;
    const WinSetupCalls::DeviceSet set = calls.getClassDevs();
    if (set == nullptr) {
        return found;
    }
    const DeviceSetGuard guard(calls, set);
    for (unsigned long index = 0; index < kMaxInterfaceIndex; ++index) {
        WinSetupCalls::Element interfaceData{};
        if (!calls.enumDeviceInterfaces(set, index, interfaceData)) {
            if (calls.lastError() == kWinErrorNoMoreItems) {
                break;
            }
            continue;
        }
        WinSetupCalls::Element deviceInfo{};
        std::string path;
        std::string hardwareId;
        if (InterfaceDetail(calls, set, interfaceData, path, deviceInfo) &&
            HardwareId(calls, set, deviceInfo, hardwareId) && MatchesCommunicator(hardwareId)) {
            found.push_back({path, hardwareId});
            if (!every) {
                break;
            }
        }
    }
    return found;
}

}  // namespace

std::vector<HidInterface> DiscoverCommunicator(const WinSetupCalls& calls) {
    return Discover(calls, false);
}

std::vector<HidInterface> DiscoverCommunicators(const WinSetupCalls& calls) {
    return Discover(calls, true);
}

}  // namespace quelvar::link

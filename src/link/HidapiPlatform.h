#pragma once
// The HID platform on hidapi (hidraw on Linux, the native backend elsewhere).

#include <chrono>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "link/HidPlatform.h"

namespace quelvar::link {

// The few hidapi calls this layer uses, as a table so that the framing can be tested
// against a stand-in device. `Real()` points to hidapi itself.
struct HidapiCalls {
    struct DeviceInfo {
        std::string path;
        unsigned short vendorId = 0;
        unsigned short productId = 0;
    };
    using Handle = void*;

    // Empty when none or on failure.
    std::vector<DeviceInfo> (*enumerate)() = nullptr;
    // nullptr on failure.
    Handle (*openPath)(const char* path) = nullptr;
    // hidapi's hid_read_timeout: bytes read, 0 on timeout, -1 on failure.
    int (*readTimeout)(Handle device, unsigned char* data, std::size_t length, int ms) = nullptr;
    // hidapi's hid_write: bytes written or -1.
    int (*write)(Handle device, const unsigned char* data, std::size_t length) = nullptr;
    void (*close)(Handle device) = nullptr;
    // A number that changes whenever the system's set of HID devices may have changed, or
    // -1 when unknown; nullptr where the system offers no cheap sign.
    long long (*deviceSetStamp)() = nullptr;
    // After a failed openPath: whether the system refused it for want of permission.
    bool (*permissionDenied)(const char* path) = nullptr;

    static const HidapiCalls& Real();
};

// Hardware-ID text in the form the system's device setup gives it: HID\VID_04D8&PID_003F.
std::string HardwareIdText(unsigned short vendorId, unsigned short productId);

class HidapiPlatform : public HidPlatform {
  public:
    // A blocking read waits in slices of this length so that Cancel takes effect soon.
    static constexpr std::chrono::milliseconds kReadSlice{50};

    explicit HidapiPlatform(const HidapiCalls& calls = HidapiCalls::Real());

    // Empty when none or on failure; the last list again while the system shows no change (for
    // at most a second).
    std::vector<HidInterface> Enumerate() override;
    // nullptr when hidapi cannot open the path; LastOpenError() tells kPermissionDenied (Linux
    // only) from kOther.
    std::unique_ptr<HidReader> OpenReader(const std::string& path) override;
    std::unique_ptr<HidWriter> OpenWriter(const std::string& path) override;
    // The calling thread's: each connection opens from its own receiver thread.
    OpenError LastOpenError() const override;

  private:
    // True when the system's set of HID devices may have changed since the last look.
    bool DeviceSetMayHaveChanged();
    HidapiCalls::Handle Open(const std::string& path);

    const HidapiCalls& calls_;
    // The last enumeration and when it was made, shared by every connection's receiver.
    std::mutex listMutex_;
    std::vector<HidInterface> lastList_;
    std::chrono::steady_clock::time_point lastFullLook_{};
    long long lastStamp_ = -1;
};

}  // namespace quelvar::link

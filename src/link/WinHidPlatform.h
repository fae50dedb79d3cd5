#pragma once
// The HID platform on Windows' own device-setup and file calls:
// SetupDi... for discovery, CreateFileA for an overlapped read handle and a synchronous write
// handle, ReadFile with GetOverlappedResult, WriteFile, and CancelIoEx looked up in kernel32
// at run time. Windows builds only; hidapi (HidapiPlatform) serves Linux and macOS.

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "link/HidPlatform.h"
#include "link/WinHidDiscovery.h"

namespace quelvar::link {

class WinHidPlatform : public HidPlatform {
  public:
    // How a pending read is ended from another thread.
    enum class CancelWay {
        // CancelIoEx when kernel32 has it, otherwise as kTimedWaits.
        kCancelIoEx,
        // As where CancelIoEx is missing: the reading thread waits in slices of kReadSlice,
        // tests the stop flag between them and cancels its own read with CancelIo.
        kTimedWaits,
    };
    static constexpr std::chrono::milliseconds kReadSlice{50};

    explicit WinHidPlatform(const WinSetupCalls& calls = WinSetupCalls::Real(),
                            CancelWay cancelWay = CancelWay::kCancelIoEx);

    // Only the communicator's interface, when discovery finds it: the interface path is
    // fetched for the first match alone. Empty when none is found or discovery fails.
    std::vector<HidInterface> Enumerate() override;
    // Every communicator's interface (DiscoverCommunicators); empty as Enumerate.
    std::vector<HidInterface> EnumerateCommunicators() override;
    // nullptr when the path cannot be opened; LastOpenError() then gives kOther, never
    // kPermissionDenied.
    std::unique_ptr<HidReader> OpenReader(const std::string& path) override;
    std::unique_ptr<HidWriter> OpenWriter(const std::string& path) override;
    // The calling thread's: each connection opens from its own receiver thread.
    OpenError LastOpenError() const override;

    // Whether reads are cancelled with CancelIoEx (false: timed waits).
    bool UsesCancelIoEx() const;

  private:
    const WinSetupCalls& calls_;
    CancelWay cancelWay_;
};

}  // namespace quelvar::link

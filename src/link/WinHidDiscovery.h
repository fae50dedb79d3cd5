#pragma once
// Discovery on the Windows device-setup calls, kept apart from the calls
// themselves: the calls sit in a table, so the index loop and the matching on hardware-ID
// texts run against a stand-in in every build, Linux included.

#include <cstddef>
#include <vector>

#include "link/HidPlatform.h"

namespace quelvar::link {

// The system's error codes that discovery tells apart (values of winerror.h).
inline constexpr unsigned long kWinErrorInsufficientBuffer = 122;
inline constexpr unsigned long kWinErrorNoMoreItems = 259;

// Where the path text starts in the interface-detail record (the record is a 32-bit size
// field followed by the text; WinHidPlatform.cpp checks this against the system's header).
inline constexpr std::size_t kInterfaceDetailPathOffset = 4;

// The device-setup calls of discovery, one entry per call. `Real()` (Windows builds only,
// in WinHidPlatform.cpp) holds the system's own.
struct WinSetupCalls {
    // The device-information set (HDEVINFO); nullptr when it could not be built.
    using DeviceSet = void*;
    // Room for one of the system's element records (SP_DEVICE_INTERFACE_DATA,
    // SP_DEVINFO_DATA), which the calls fill and take back; opaque to discovery.
    struct Element {
        alignas(8) unsigned char bytes[64];
    };

    // SetupDiGetClassDevsA on the HID interface class, present devices, interface mode.
    DeviceSet (*getClassDevs)() = nullptr;
    // SetupDiEnumDeviceInterfaces of the HID interface class at `index`.
    bool (*enumDeviceInterfaces)(DeviceSet set, unsigned long index,
                                 Element& interfaceData) = nullptr;
    // SetupDiGetDeviceRegistryPropertyA with SPDRP_HARDWAREID into `buffer` of `size` bytes
    // (nullptr and 0 to ask for the size); `*required` gets the size the text needs.
    bool (*getHardwareIdProperty)(DeviceSet set, Element& deviceInfo, unsigned char* buffer,
                                  unsigned long size, unsigned long* required) = nullptr;
    // SetupDiGetDeviceInterfaceDetailA into `detail` of `size` bytes (nullptr and 0 to ask
    // for the size); with a buffer, the record's size field is set first, and `deviceInfo`
    // (when not nullptr) gets the device element the interface belongs to.
    bool (*getInterfaceDetail)(DeviceSet set, Element& interfaceData, void* detail,
                               unsigned long size, unsigned long* required,
                               Element* deviceInfo) = nullptr;
    // SetupDiDestroyDeviceInfoList.
    void (*destroyDeviceInfoList)(DeviceSet set) = nullptr;
    // GetLastError, read right after a failed call.
    unsigned long (*lastError)() = nullptr;

    static const WinSetupCalls& Real();
};

// Discovery: interface indices 0 to 1023 in the system's order (no-more-items
// ends, another failure skips the index); for each, its path and the device element it belongs
// to, both from the interface-detail call (an interface whose detail cannot be had is
// skipped), then that element's hardware ID up to its first zero byte; the first whose text
// names the communicator (MatchesCommunicator) is the answer. The device elements are never
// paired with interfaces by index: an unplugged device's element can stay in the list after
// its interface is gone, and every later pair would be off by one. The set is always
// destroyed. Returns that one interface, or nothing (also when the set cannot be built).
std::vector<HidInterface> DiscoverCommunicator(const WinSetupCalls& calls);
// The same discovery, but every interface that names the communicator, in index order; empty
// as there.
std::vector<HidInterface> DiscoverCommunicators(const WinSetupCalls& calls);

}  // namespace quelvar::link

#include "link/WinHidPlatform.h"

#include <windows.h>
// windows.h first: setupapi.h builds on its types.
#include <setupapi.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <utility>

namespace quelvar::link {

namespace {

// The HID interface class {4D1E55B2-F16F-11CF-88CB-001111000030} (GUID_DEVINTERFACE_HID).
const GUID kHidInterfaceClass = {
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) <= sizeof(WinSetupCalls::Element));
static_assert(sizeof(SP_DEVINFO_DATA) <= sizeof(WinSetupCalls::Element));
static_assert(alignof(SP_DEVICE_INTERFACE_DATA) <= alignof(WinSetupCalls::Element));
static_assert(alignof(SP_DEVINFO_DATA) <= alignof(WinSetupCalls::Element));
static_assert(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) ==
              kInterfaceDetailPathOffset);

// ---- The device-setup calls --------------------------------------------------------------

SP_DEVICE_INTERFACE_DATA* InterfaceData(WinSetupCalls::Element& element) {
    return reinterpret_cast<SP_DEVICE_INTERFACE_DATA*>(element.bytes);
}

SP_DEVINFO_DATA* DeviceInfo(WinSetupCalls::Element& element) {
    return reinterpret_cast<SP_DEVINFO_DATA*>(element.bytes);
}

WinSetupCalls::DeviceSet RealGetClassDevs() {
    HDEVINFO set = SetupDiGetClassDevsA(&kHidInterfaceClass, nullptr, nullptr,
                                        DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    return set == INVALID_HANDLE_VALUE ? nullptr : set;
}

bool RealEnumDeviceInterfaces(WinSetupCalls::DeviceSet set, unsigned long index,
                              WinSetupCalls::Element& element) {
    SP_DEVICE_INTERFACE_DATA* data = InterfaceData(element);
    *data = SP_DEVICE_INTERFACE_DATA{};
    data->cbSize = sizeof(SP_DEVICE_INTERFACE_DATA);
    return SetupDiEnumDeviceInterfaces(set, nullptr, &kHidInterfaceClass, index, data) != FALSE;
}

bool RealGetHardwareIdProperty(WinSetupCalls::DeviceSet set, WinSetupCalls::Element& element,
                               unsigned char* buffer, unsigned long size, unsigned long* required) {
    DWORD needed = 0;
    const BOOL ok = SetupDiGetDeviceRegistryPropertyA(set, DeviceInfo(element), SPDRP_HARDWAREID,
                                                      nullptr, buffer, size, &needed);
    const DWORD error = GetLastError();
    *required = needed;
    SetLastError(error);
    return ok != FALSE;
}

bool RealGetInterfaceDetail(WinSetupCalls::DeviceSet set, WinSetupCalls::Element& element,
                            void* detail, unsigned long size, unsigned long* required,
                            WinSetupCalls::Element* deviceElement) {
    auto* record = static_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(detail);
    if (record != nullptr) {
        // The size of the record's fixed part as this build lays it out: 8 on 64-bit Windows
        // (the size field and one character, padded), 5 on 32-bit.
        record->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    }
    SP_DEVINFO_DATA* deviceInfo = nullptr;
    if (deviceElement != nullptr) {
        deviceInfo = DeviceInfo(*deviceElement);
        *deviceInfo = SP_DEVINFO_DATA{};
        deviceInfo->cbSize = sizeof(SP_DEVINFO_DATA);
    }
    DWORD needed = 0;
    const BOOL ok = SetupDiGetDeviceInterfaceDetailA(set, InterfaceData(element), record, size,
                                                     &needed, deviceInfo);
    const DWORD error = GetLastError();
    *required = needed;
    SetLastError(error);
    return ok != FALSE;
}

void RealDestroyDeviceInfoList(WinSetupCalls::DeviceSet set) {
    SetupDiDestroyDeviceInfoList(set);
}

unsigned long RealLastError() {
    return GetLastError();
}

// ---- Handles -----------------------------------------------------------------------------

class UniqueHandle {
  public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle)
        : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    ~UniqueHandle() {
        if (handle_ != nullptr) {
            CloseHandle(handle_);
        }
    }
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.handle_) {
        other.handle_ = nullptr;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle& operator=(UniqueHandle&&) = delete;

    HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

  private:
    HANDLE handle_ = nullptr;
};

using CancelIoExFunction = BOOL(WINAPI*)(HANDLE, LPOVERLAPPED);

// CancelIoEx came with Windows Vista; looked up at run time so that its absence is no
// failure to start.
CancelIoExFunction LookUpCancelIoEx() {
    HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    if (kernel32 == nullptr) {
        return nullptr;
    }
    // Through the generic function type, which converts to any other without a warning.
    return reinterpret_cast<CancelIoExFunction>(
        reinterpret_cast<void (*)()>(GetProcAddress(kernel32, "CancelIoEx")));
}

class WinHidReader : public HidReader {
  public:
    WinHidReader(UniqueHandle file, UniqueHandle event, CancelIoExFunction cancelIoEx)
        : file_(std::move(file)), event_(std::move(event)), cancelIoEx_(cancelIoEx) {}

    ReadStatus Read(Report& report) override {
        if (cancelled_) {
            return ReadStatus::kCancelled;
        }
        // Every path below waits for the read to complete, so the buffer and the control
        // block are never left to a read in flight.
        overlapped_ = OVERLAPPED{};
        overlapped_.hEvent = event_.get();
        ResetEvent(event_.get());
        DWORD received = 0;
        if (!ReadFile(file_.get(), buffer_, sizeof buffer_, nullptr, &overlapped_)) {
            if (GetLastError() != ERROR_IO_PENDING) {
                return ReadStatus::kFailed;
            }
            WaitWhilePending();
        }
        if (!GetOverlappedResult(file_.get(), &overlapped_, &received, TRUE)) {
            return cancelled_ ? ReadStatus::kCancelled : ReadStatus::kFailed;
        }
        report = Report{};
        std::copy_n(buffer_, std::min<std::size_t>(received, sizeof buffer_), report.begin());
        return ReadStatus::kReport;
    }

    void Cancel() override {
        cancelled_ = true;
        if (cancelIoEx_ != nullptr) {
            cancelIoEx_(file_.get(), &overlapped_);
        }
    }

  private:
    void WaitWhilePending() {
        if (cancelIoEx_ != nullptr) {
            // A Cancel that came before the read was issued found nothing to cancel.
            if (cancelled_) {
                cancelIoEx_(file_.get(), &overlapped_);
            }
            return;  // GetOverlappedResult waits; Cancel's CancelIoEx ends the wait.
        }
        // Without CancelIoEx no other thread can end this read (CancelIo acts on the calling
        // thread's requests only): wait in slices and cancel from here when asked to stop.
        while (WaitForSingleObject(event_.get(),
                                   static_cast<DWORD>(WinHidPlatform::kReadSlice.count())) ==
               WAIT_TIMEOUT) {
            if (cancelled_) {
                CancelIo(file_.get());
                return;
            }
        }
    }

    UniqueHandle file_;
    UniqueHandle event_;
    CancelIoExFunction cancelIoEx_;
    OVERLAPPED overlapped_{};
    unsigned char buffer_[kReportSize]{};
    std::atomic<bool> cancelled_{false};
};

class WinHidWriter : public HidWriter {
  public:
    explicit WinHidWriter(UniqueHandle file) : file_(std::move(file)) {}

    bool Write(const Report& report) override {
        Report out = report;
        out[0] = 0;  // report ID
        DWORD written = 0;
        return WriteFile(file_.get(), out.data(), static_cast<DWORD>(out.size()), &written,
                         nullptr) != FALSE &&
               written == out.size();
    }

  private:
    UniqueHandle file_;
};

UniqueHandle OpenFile(const std::string& path, DWORD access, DWORD flags) {
    return UniqueHandle(CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, flags, nullptr));
}

}  // namespace

const WinSetupCalls& WinSetupCalls::Real() {
    static const WinSetupCalls calls{RealGetClassDevs,          RealEnumDeviceInterfaces,
                                     RealGetHardwareIdProperty, RealGetInterfaceDetail,
                                     RealDestroyDeviceInfoList, RealLastError};
    return calls;
}

namespace {

// Per thread, so that one connection's failed open is not read as another's.
thread_local OpenError lastOpenError = OpenError::kNone;

}  // namespace

WinHidPlatform::WinHidPlatform(const WinSetupCalls& calls, CancelWay cancelWay)
    : calls_(calls), cancelWay_(cancelWay) {}

OpenError WinHidPlatform::LastOpenError() const {
    return lastOpenError;
}

bool WinHidPlatform::UsesCancelIoEx() const {
    return cancelWay_ == CancelWay::kCancelIoEx && LookUpCancelIoEx() != nullptr;
}

std::vector<HidInterface> WinHidPlatform::Enumerate() {
    return DiscoverCommunicator(calls_);
}

std::vector<HidInterface> WinHidPlatform::EnumerateCommunicators() {
    return DiscoverCommunicators(calls_);
}

std::unique_ptr<HidReader> WinHidPlatform::OpenReader(const std::string& path) {
    UniqueHandle file = OpenFile(path, GENERIC_READ, FILE_FLAG_OVERLAPPED);
    if (!file) {
        lastOpenError = OpenError::kOther;
        return nullptr;
    }
    // The read's completion event: manual reset, not signalled.
    UniqueHandle event(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!event) {
        lastOpenError = OpenError::kOther;
        return nullptr;
    }
    lastOpenError = OpenError::kNone;
    return std::make_unique<WinHidReader>(std::move(file), std::move(event),
                                          UsesCancelIoEx() ? LookUpCancelIoEx() : nullptr);
}

std::unique_ptr<HidWriter> WinHidPlatform::OpenWriter(const std::string& path) {
    UniqueHandle file = OpenFile(path, GENERIC_WRITE, 0);
    if (!file) {
        lastOpenError = OpenError::kOther;
        return nullptr;
    }
    lastOpenError = OpenError::kNone;
    return std::make_unique<WinHidWriter>(std::move(file));
}

}  // namespace quelvar::link

#include "link/HidapiPlatform.h"

#include <hidapi/hidapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>

#ifdef __linux__
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace quelvar::link {

namespace {

void InitOnce() {
    // hidapi asks for one hid_init before handles may be opened from several threads.
    static std::once_flag once;
    std::call_once(once, [] { hid_init(); });
}

// hidapi keeps one error text for the process, which its enumeration and its opening both
// write: every connection's receiver takes turns at them.
std::mutex& HidapiGlobalsLock() {
    static std::mutex lock;
    return lock;
}

std::vector<HidapiCalls::DeviceInfo> RealEnumerate() {
    InitOnce();
    const std::lock_guard lock(HidapiGlobalsLock());
    std::vector<HidapiCalls::DeviceInfo> result;
    hid_device_info* list = hid_enumerate(0, 0);
    for (const hid_device_info* it = list; it != nullptr; it = it->next) {
        result.push_back({it->path ? it->path : "", it->vendor_id, it->product_id});
    }
    hid_free_enumeration(list);
    return result;
}

HidapiCalls::Handle RealOpenPath(const char* path) {
    InitOnce();
    const std::lock_guard lock(HidapiGlobalsLock());
    return hid_open_path(path);
}

int RealReadTimeout(HidapiCalls::Handle device, unsigned char* data, std::size_t length, int ms) {
    return hid_read_timeout(static_cast<hid_device*>(device), data, length, ms);
}

int RealWrite(HidapiCalls::Handle device, const unsigned char* data, std::size_t length) {
    return hid_write(static_cast<hid_device*>(device), data, length);
}

void RealClose(HidapiCalls::Handle device) {
    hid_close(static_cast<hid_device*>(device));
}

#ifdef __linux__
bool RealPermissionDenied(const char* path) {
    return access(path, R_OK | W_OK) != 0 && errno == EACCES;
}

// The modification time of /dev, which changes whenever a device node comes or goes.
long long RealDeviceSetStamp() {
    struct stat info {};
    if (stat("/dev", &info) != 0) {
        return -1;
    }
    return static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec;
}
#endif

class HidapiReader : public HidReader {
  public:
    HidapiReader(const HidapiCalls& calls, HidapiCalls::Handle handle)
        : calls_(calls), handle_(handle) {}
    ~HidapiReader() override { calls_.close(handle_); }

    ReadStatus Read(Report& report) override {
        // The device has no numbered reports: hidapi gives the 64 payload bytes alone,
        // so byte 0 (the report ID) is put in front.
        unsigned char payload[kReportSize - 1];
        while (!cancelled_) {
            const int n = calls_.readTimeout(handle_, payload, sizeof payload,
                                             static_cast<int>(HidapiPlatform::kReadSlice.count()));
            if (n < 0) {
                return ReadStatus::kFailed;
            }
            if (n > 0) {
                report = Report{};
                std::copy_n(payload,
                            std::min<std::size_t>(static_cast<std::size_t>(n), sizeof payload),
                            report.begin() + 1);
                return ReadStatus::kReport;
            }
        }
        return ReadStatus::kCancelled;
    }

    void Cancel() override { cancelled_ = true; }

  private:
    const HidapiCalls& calls_;
    HidapiCalls::Handle handle_;
    std::atomic<bool> cancelled_{false};
};

class HidapiWriter : public HidWriter {
  public:
    HidapiWriter(const HidapiCalls& calls, HidapiCalls::Handle handle)
        : calls_(calls), handle_(handle) {}
    ~HidapiWriter() override { calls_.close(handle_); }

    bool Write(const Report& report) override {
        // Byte 0 is the report ID 0, which hidapi expects in front of the payload.
        Report out = report;
        out[0] = 0;
        return calls_.write(handle_, out.data(), out.size()) == static_cast<int>(out.size());
    }

  private:
    const HidapiCalls& calls_;
    HidapiCalls::Handle handle_;
};

}  // namespace

const HidapiCalls& HidapiCalls::Real() {
#ifdef __linux__
    static const HidapiCalls calls{RealEnumerate,       RealOpenPath, RealReadTimeout,
                                   RealWrite,           RealClose,    RealDeviceSetStamp,
                                   RealPermissionDenied};
#else
    static const HidapiCalls calls{RealEnumerate, RealOpenPath, RealReadTimeout, RealWrite,
                                   RealClose,     nullptr,      nullptr};
#endif
    return calls;
}

std::string HardwareIdText(unsigned short vendorId, unsigned short productId) {
    char text[32];
    std::snprintf(text, sizeof text, "HID\\VID_%04X&PID_%04X", vendorId, productId);
    return text;
}

namespace {

// Per thread, so that one connection's failed open is not read as another's.
thread_local OpenError lastOpenError = OpenError::kNone;

}  // namespace

HidapiPlatform::HidapiPlatform(const HidapiCalls& calls) : calls_(calls) {}

OpenError HidapiPlatform::LastOpenError() const {
    return lastOpenError;
}

bool HidapiPlatform::DeviceSetMayHaveChanged() {
    // The link looks for the device every 10 ms while detached; a full enumeration each time
    // is most of what the program costs while idle. Where the system shows changes to its
    // device nodes cheaply, enumerate only after a change, and once a second all the same.
    const auto now = std::chrono::steady_clock::now();
    if (calls_.deviceSetStamp == nullptr || now - lastFullLook_ >= std::chrono::seconds(1)) {
        lastFullLook_ = now;
        lastStamp_ = calls_.deviceSetStamp ? calls_.deviceSetStamp() : -1;
        return true;
    }
    const long long stamp = calls_.deviceSetStamp();
    if (stamp < 0 || stamp != lastStamp_) {
        lastStamp_ = stamp;
        lastFullLook_ = now;
        return true;
    }
    return false;
}

std::vector<HidInterface> HidapiPlatform::Enumerate() {
    std::lock_guard lock(listMutex_);
    if (!DeviceSetMayHaveChanged()) {
        return lastList_;
    }
    std::vector<HidInterface> interfaces;
    for (const HidapiCalls::DeviceInfo& info : calls_.enumerate()) {
        interfaces.push_back({info.path, HardwareIdText(info.vendorId, info.productId)});
    }
    lastList_ = interfaces;
    return interfaces;
}

HidapiCalls::Handle HidapiPlatform::Open(const std::string& path) {
    HidapiCalls::Handle handle = calls_.openPath(path.c_str());
    if (handle != nullptr) {
        lastOpenError = OpenError::kNone;
    } else if (calls_.permissionDenied != nullptr && calls_.permissionDenied(path.c_str())) {
        lastOpenError = OpenError::kPermissionDenied;
    } else {
        lastOpenError = OpenError::kOther;
    }
    return handle;
}

std::unique_ptr<HidReader> HidapiPlatform::OpenReader(const std::string& path) {
    HidapiCalls::Handle handle = Open(path);
    if (handle == nullptr) {
        return nullptr;
    }
    return std::make_unique<HidapiReader>(calls_, handle);
}

std::unique_ptr<HidWriter> HidapiPlatform::OpenWriter(const std::string& path) {
    HidapiCalls::Handle handle = Open(path);
    if (handle == nullptr) {
        return nullptr;
    }
    return std::make_unique<HidapiWriter>(calls_, handle);
}

}  // namespace quelvar::link

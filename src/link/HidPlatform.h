#pragma once
// The one seam between the device link and the operating system's HID support.
// Implemented on hidapi for real devices and by the simulated communicator.

#include <memory>
#include <string>
#include <vector>

#include "link/Report.h"

namespace quelvar::link {

struct HidInterface {
    std::string path;        // what OpenReader/OpenWriter take
    std::string hardwareId;  // e.g. "HID\VID_04D8&PID_003F"
};

enum class ReadStatus { kReport, kFailed, kCancelled };

// An interface opened for reading. Used by one thread (the receiver); Cancel may come from any.
class HidReader {
  public:
    virtual ~HidReader() = default;
    // Blocks until a report arrives (kReport, `report` filled, short reads zero-filled),
    // the device fails or is gone (kFailed), or Cancel was called (kCancelled).
    virtual ReadStatus Read(Report& report) = 0;
    // Ends a pending or the next Read with kCancelled. Safe from any thread.
    virtual void Cancel() = 0;
};

// An interface opened for writing. Used by the thread that sends commands.
class HidWriter {
  public:
    virtual ~HidWriter() = default;
    // Writes one whole report; false when the device did not take it.
    virtual bool Write(const Report& report) = 0;
};

// Why the last open failed, as far as the system tells.
enum class OpenError { kNone, kPermissionDenied, kOther };

// One platform object serves every connection of the process, each from its own receiver
// thread: its calls may come from several threads at once.
class HidPlatform {
  public:
    virtual ~HidPlatform() = default;
    // The present HID interfaces in the system's order; empty when none or on failure.
    virtual std::vector<HidInterface> Enumerate() = 0;
    // Every communicator's interface present, in the system's order, among the first
    // kMaxInterfaceIndex interfaces. By default Enumerate's that name the communicator. Empty
    // when none or on failure.
    virtual std::vector<HidInterface> EnumerateCommunicators();
    // nullptr when the path cannot be opened (gone, no permission).
    virtual std::unique_ptr<HidReader> OpenReader(const std::string& path) = 0;
    virtual std::unique_ptr<HidWriter> OpenWriter(const std::string& path) = 0;
    // The reason of the last failed OpenReader/OpenWriter made on the calling thread (each
    // connection opens on its own receiver thread); kNone after a successful one. This default
    // knows no reasons and always gives kNone.
    virtual OpenError LastOpenError() const { return OpenError::kNone; }
};

}  // namespace quelvar::link

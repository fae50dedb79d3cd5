#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>

#include "link/ConnHIDCOM.h"
#include "link/LinkLock.h"

namespace quelvar::link {

void DispatchReport(ConnHIDCOM& connection, HID& device, const Report& report) {
    device.lastReport = report;
    const std::uint8_t code = report[2];
    switch (code) {
        case kWriteBlock:
        case kEraseSector:
        case kSetParameter:
            if (device.Awaits(code)) {
                device.SignalAck();
            }
            return;
        case kReadBlock:
            device.lastBlockAddress = ReadLe32(&report[kAddressOffset]);
            std::copy_n(report.begin() + kBlockDataOffset, kBlockSize,
                        device.lastBlockData.begin());
            if (device.Awaits(code)) {
                device.SignalAck();
            }
            return;
        case kGetParameter:
            if (device.replyBuffer != nullptr) {
                *device.replyBuffer = report;
                device.SignalAck();
            }
            return;
        default:
            break;
    }
    // Status texts are stored even while a parameter reply is awaited: dropping them
    // would lose the device's event lines during every parameter read.
    if (std::string* field = connection.StatusField(code)) {
        *field = TextAt(report, kTextOffset);
        if (connection.recordStatusReports) {
            while (!connection.statusRecords.empty() &&
                   connection.statusRecords.size() >= connection.statusRecordCapacity) {
                connection.statusRecords.pop_front();
                ++connection.statusRecordsDropped;
            }
            connection.statusRecords.push_back({code, *field, std::chrono::system_clock::now()});
        }
        if (code == kEventLineCode) {
            connection.PushEvent(*field);
        }
    }
}

int ReceiverThread(ConnHIDCOM* connection) {
    connection->threadFinished = false;
    HID* device = connection->device.get();
    while (!connection->stopRequested) {
        if (!device->attached) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (!connection->stopRequested) {
                device->OpenDevice();
                ++connection->discoveryPasses;
            }
            continue;
        }
        Report report{};
        if (device->ReadReport(report) != ReadStatus::kReport) {
            device->MarkDetached();
            device->NotifyStateChange(kStateDetached);
            device->CloseHandles();
            continue;
        }
        std::lock_guard lock(LinkLock());
        DispatchReport(*connection, *device, report);
    }
    const bool wasAttached = device->attached;
    device->CloseHandles();
    device->MarkDetached();
    if (wasAttached) {
        device->NotifyStateChange(kStateDetached);
    }
    {
        std::lock_guard lock(LinkLock());
        connection->device.reset();
    }
    connection->threadFinished = true;
    return 0;
}

}  // namespace quelvar::link

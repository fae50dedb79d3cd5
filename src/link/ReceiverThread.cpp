#include <algorithm>
#include <chrono>
#include <thread>

#include "link/ConnHIDCOM.h"

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
            if (device.replyBuffer != nullptr && device.AnswersAwaitedKey(report)) {
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
        if (connection.recordStatusReports_) {
            auto& records = connection.statusRecords_;
            while (!records.empty() && records.size() >= connection.statusRecordCapacity_) {
                records.pop_front();
                ++connection.statusRecordsDropped_;
            }
            records.push_back({code, *field, std::chrono::system_clock::now()});
        }
        if (code == kEventLineCode) {
            connection.PushEvent(*field);
        }
    }
}

int ReceiverThread(ConnHIDCOM* connection) {
    connection->threadFinished = false;
    // Open made it and Close destroys it only after this thread has ended.
    HID* device = connection->device_.get();
    while (!connection->stopRequested_) {
        if (!device->IsAttached()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (!connection->stopRequested_) {
                device->OpenDevice();
                ++connection->discoveryPasses_;
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
        // The one lock of every connection, for this report's dispatch alone.
        const ConnHIDCOM::LockGuard lock(*connection);
        DispatchReport(*connection, *device, report);
    }
    const bool wasAttached = device->IsAttached();
    device->CloseHandles();
    device->MarkDetached();
    if (wasAttached) {
        device->NotifyStateChange(kStateDetached);
    }
    connection->threadFinished = true;
    return 0;
}

}  // namespace quelvar::link

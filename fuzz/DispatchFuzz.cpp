// The receiver's handling of whatever a device sends: each input is a run of reports, dispatched
// one by one under the link lock as the receiver thread does, and checked against what each
// response code must and must not change.
//
// Input: records of one control byte and up to 65 report bytes (a short last record is
// zero-filled, as a short read is). Control bit 0: a parameter reply is awaited for this report.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

#include "FuzzCheck.h"
#include "link/ConnHIDCOM.h"
#include "sim/SimulatedCommunicator.h"

namespace {

using quelvar::link::Report;
namespace link = quelvar::link;

constexpr std::size_t kRecordSize = 1 + link::kReportSize;
constexpr std::uint8_t kAwaitReply = 0x01;

bool IsStatusCode(std::uint8_t code) {
    return code >= link::kFirstStatusCode && code <= link::kLastStatusCode;
}

// The event queue as the receiver must keep it: lines in order, at most one less than its slots,
// the oldest given up first.
struct QueueModel {
    std::deque<std::string> lines;
    void Push(const std::string& line) {
        if (line.empty()) {
            return;
        }
        if (lines.size() == link::kEventQueueSlots - 1) {
            lines.pop_front();
        }
        lines.push_back(line);
    }
};

// The last block as the receiver must keep it: only a block report replaces it.
struct BlockModel {
    std::uint32_t address = 0;
    link::Block data{};
};

void CheckOne(link::ConnHIDCOM& connection, link::HID& device, const Report& report,
              bool awaitReply, QueueModel& queue, BlockModel& block) {
    Report reply{};
    reply[0] = 0xA5;  // a buffer the dispatch must leave alone unless it is the reply's place
    const Report untouched = reply;
    device.ClearAck();
    device.SetReplyBuffer(awaitReply ? &reply : nullptr);
    {
        const link::ConnHIDCOM::LockGuard lock(connection);
        link::DispatchReport(connection, device, report);
    }
    device.SetReplyBuffer(nullptr);

    const std::uint8_t code = report[2];
    FUZZ_CHECK(device.LastReport() == report);
    bool expectAck = false;
    switch (code) {
        case link::kWriteBlock:
        case link::kEraseSector:
        case link::kSetParameter:
            expectAck = true;
            break;
        case link::kReadBlock:
            expectAck = true;
            block.address = link::ReadLe32(&report[link::kAddressOffset]);
            std::copy_n(report.begin() + link::kBlockDataOffset, link::kBlockSize,
                        block.data.begin());
            break;
        case link::kGetParameter:
            expectAck = awaitReply;
            FUZZ_CHECK(reply == (awaitReply ? report : untouched));
            break;
        default:
            break;
    }
    FUZZ_CHECK(device.AckReceived() == expectAck);
    if (code != link::kGetParameter) {
        FUZZ_CHECK(reply == untouched);
    }
    link::Block kept{};
    FUZZ_CHECK(device.CopyBlockFrom(block.address, kept.data(), kept.size()));
    FUZZ_CHECK(kept == block.data);
    FUZZ_CHECK(!device.CopyBlockFrom(block.address + 1, kept.data(), kept.size()));
    if (IsStatusCode(code)) {
        const std::string* field = connection.StatusField(code);
        FUZZ_CHECK(field != nullptr);
        FUZZ_CHECK(*field == link::TextAt(report, link::kTextOffset));
        FUZZ_CHECK(field->size() <= link::kReportSize - link::kTextOffset);
        if (code == link::kEventLineCode) {
            queue.Push(*field);
        }
    } else {
        FUZZ_CHECK(connection.StatusField(code) == nullptr);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // One simulated device for the whole run: it only stands behind the connection's platform
    // reference, and its worker thread would cost more than a dispatch to start.
    static quelvar::sim::SimulatedCommunicator platform;
    link::ConnHIDCOM connection(platform);
    link::HID device(platform);
    QueueModel queue;
    BlockModel block;

    for (std::size_t at = 0; at < size; at += kRecordSize) {
        const bool awaitReply = (data[at] & kAwaitReply) != 0;
        const std::size_t available = std::min(kRecordSize, size - at) - 1;
        const Report report = link::ReportFromBytes(data + at + 1, available);
        CheckOne(connection, device, report, awaitReply, queue, block);
    }

    const link::ConnHIDCOM::LockGuard lock(connection);
    FUZZ_CHECK(connection.EventsWaiting() == queue.lines.size());
    for (const std::string& line : queue.lines) {
        FUZZ_CHECK(connection.TakeEvent() == line);
    }
    FUZZ_CHECK(connection.TakeEvent() == link::kNoEvent);
    return 0;
}

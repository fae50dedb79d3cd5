// The configuration-memory half of DeviceExchange: erase, write and read in blocks.

#include <algorithm>
#include <mutex>

#include "exchange/DeviceExchange.h"

namespace quelvar::exchange {

namespace {

void Progress(const TransferHooks& transfer, std::size_t position, std::size_t maximum) {
    if (transfer.progress) {
        transfer.progress(static_cast<int>(position), static_cast<int>(maximum));
    }
}

bool StopRequested(const TransferHooks& transfer) {
    return transfer.stopRequested && transfer.stopRequested();
}

}  // namespace

bool DeviceExchange::SendMemoryRequest(std::uint8_t code, std::uint32_t address,
                                       const std::uint8_t* data, std::size_t count) {
    link::Command command{};
    command[0] = code;
    command[1] = code == link::kEraseSector ? 0 : static_cast<std::uint8_t>(link::kBlockSize);
    link::WriteLe32(&command[link::kAddressOffset - 1], address);
    if (data != nullptr) {
        std::copy_n(data, std::min(count, link::kBlockSize),
                    command.begin() + link::kBlockDataOffset - 1);
    }
    return Send(command);
}

MemoryWriteResult DeviceExchange::WriteMemory(const std::uint8_t* data, std::uint32_t start,
                                              std::size_t length, const TransferHooks& transfer) {
    MemoryWriteResult result;
    auto unanswered = [&](std::uint32_t address) {
        ++result.unanswered;
        if (!result.firstUnansweredAddress) {
            result.firstUnansweredAddress = address;
        }
    };
    const bool timerWasEnabled = TimerEnabled();
    Progress(transfer, 0, length);
    const std::uint64_t end = std::uint64_t{start} + length;
    for (std::uint64_t a = start; a < end && connection_.HasDevice() && !StopRequested(transfer);
         a += kEraseStep) {
        const auto address = static_cast<std::uint32_t>(a);
        if (!SendMemoryRequest(link::kEraseSector, address, nullptr, 0)) {
            unanswered(address);
        }
        Progress(transfer, address - start, length);
    }
    Progress(transfer, 0, length);
    for (std::uint64_t a = start; a < end && connection_.HasDevice() && !StopRequested(transfer);
         a += link::kBlockSize) {
        const auto address = static_cast<std::uint32_t>(a);
        const std::size_t offset = address - start;
        if (!SendMemoryRequest(link::kWriteBlock, address, data + offset, length - offset)) {
            unanswered(address);
        }
        Progress(transfer, offset, length);
        if (hooks_.processMessages) {
            hooks_.processMessages();
        }
    }
    Progress(transfer, 0, length);
    SetTimerEnabled(timerWasEnabled);
    tally_.memoryRequests += result.unanswered;
    if (result.firstUnansweredAddress && !tally_.firstMemoryAddress) {
        tally_.firstMemoryAddress = result.firstUnansweredAddress;
    }
    return result;
}

bool DeviceExchange::ReadMemory(std::uint8_t* buffer, std::uint32_t start, std::size_t length,
                                const TransferHooks& transfer) {
    int failures = 0;
    const bool timerWasEnabled = TimerEnabled();
    Progress(transfer, 0, length);
    std::size_t lastReceived = 0;
    const std::uint64_t end = std::uint64_t{start} + length;
    for (std::uint64_t a = start; a < end;) {
        const auto address = static_cast<std::uint32_t>(a);
        const std::size_t offset = address - start;
        if (StopRequested(transfer)) {
            Progress(transfer, lastReceived,
                     length);  // so that whoever watches the progress sees the stop
            SetTimerEnabled(timerWasEnabled);
            return false;
        }
        if (!connection_.HasDevice()) {
            a += link::kBlockSize;  // nothing to ask
            continue;
        }
        // A block counts only when this request was answered with its own address, so a
        // stale block of an earlier request cannot pass for it.
        const bool answered = SendMemoryRequest(link::kReadBlock, address, nullptr, 0);
        const bool received =
            answered && connection_.CopyBlockFrom(address, buffer + offset,
                                                  std::min(link::kBlockSize, length - offset));
        if (received) {
            lastReceived = offset;
            a += link::kBlockSize;
        } else if (++failures > kMaxReadFailures) {
            SetTimerEnabled(timerWasEnabled);
            return false;
        }
        Progress(transfer, lastReceived, length);
    }
    Progress(transfer, 0, length);
    SetTimerEnabled(timerWasEnabled);
    return true;
}

}  // namespace quelvar::exchange

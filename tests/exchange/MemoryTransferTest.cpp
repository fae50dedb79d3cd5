// Erasing, writing and reading configuration memory in blocks, with the device misbehaving.

#include <numeric>
#include <vector>

#include "exchange/ExchangeFixture.h"

namespace quelvar::exchange {
namespace {

using MemoryTransfer = ExchangeFixture;

std::vector<std::uint8_t> Pattern(std::size_t length) {
    std::vector<std::uint8_t> bytes(length);
    for (std::size_t i = 0; i < length; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
    }
    return bytes;
}

TEST_F(MemoryTransfer, WriteErasesThenWritesEveryBlockInOrder) {
    Attach();
    const auto data = Pattern(4096);
    const MemoryWriteResult result =
        exchange.WriteMemory(data.data(), 0x32000, data.size(), RecordingTransfer());
    EXPECT_EQ(result.unanswered, 0);
    const auto commands = sim.Commands();
    ASSERT_EQ(commands.size(), 129u);
    EXPECT_EQ(commands[0].code, link::kEraseSector);
    EXPECT_EQ(commands[0].address, 0x32000u);
    EXPECT_EQ(commands[0].report[2], 0);
    for (std::size_t i = 1; i < commands.size(); ++i) {
        ASSERT_EQ(commands[i].code, link::kWriteBlock);
        ASSERT_EQ(commands[i].address, 0x32000u + (i - 1) * 32);
        ASSERT_EQ(commands[i].report[2], 32);
    }
    EXPECT_EQ(commands.back().address, 0x32FE0u);
    EXPECT_EQ(sim.ReadMemory(0x32000, 4096), data);
    EXPECT_EQ(lastProgress, 0);
    EXPECT_EQ(progressMaximum, 4096);
}

TEST_F(MemoryTransfer, EightKilobytesTakeTwoErasesAndReadBackWhole) {
    Attach();
    const auto data = Pattern(8192);
    exchange.WriteMemory(data.data(), 0x30000, data.size());
    const auto erases = CommandsWithCode(link::kEraseSector);
    ASSERT_EQ(erases.size(), 2u);
    EXPECT_EQ(erases[1].address, 0x31000u);
    std::vector<std::uint8_t> back(8192);
    EXPECT_TRUE(exchange.ReadMemory(back.data(), 0x30000, back.size()));
    EXPECT_EQ(back, data);
    EXPECT_EQ(CommandsWithCode(link::kReadBlock).size(), 256u);
}

TEST_F(MemoryTransfer, UnacknowledgedWriteRequestsAreCountedWithTheFirstAddress) {
    Attach();
    sim.DropAnswersTo({3, 7});  // the second and sixth block writes
    const auto data = Pattern(4096);
    const MemoryWriteResult result = exchange.WriteMemory(data.data(), 0x32000, data.size());
    EXPECT_EQ(result.unanswered, 2);
    EXPECT_EQ(result.firstUnansweredAddress, 0x32020u);
    EXPECT_EQ(exchange.Unanswered().memoryRequests, 2);
    EXPECT_EQ(sim.CommandCount(), 129u) << "nothing is repeated";
}

TEST_F(MemoryTransfer, ReadGivesUpOnTheEleventhFailedRequest) {
    Attach();
    sim.IgnoreCommand(link::kReadBlock);
    std::vector<std::uint8_t> buffer(4096);
    EXPECT_FALSE(exchange.ReadMemory(buffer.data(), 0x32000, buffer.size()));
    EXPECT_EQ(sim.CommandCount(), 11u);
}

TEST_F(MemoryTransfer, ScatteredLostAnswersAreRequestedAgain) {
    Attach();
    sim.DropAnswersTo({1, 5, 9, 20, 40, 41, 60, 80, 100, 128});
    std::vector<std::uint8_t> buffer(4096);
    EXPECT_TRUE(exchange.ReadMemory(buffer.data(), 0x32000, buffer.size()));
    EXPECT_EQ(sim.CommandCount(), 138u);
    EXPECT_EQ(buffer, sim.ReadMemory(0x32000, 4096));
    const auto reads = sim.Commands();
    EXPECT_EQ(reads[0].address, reads[1].address) << "the lost block is asked for again";
}

TEST_F(MemoryTransfer, AnswerForAnotherAddressCountsAsAFailure) {
    Attach();
    sim.SetWrongAddressReads(1);
    std::vector<std::uint8_t> buffer(4096);
    EXPECT_TRUE(exchange.ReadMemory(buffer.data(), 0x32000, buffer.size()));
    EXPECT_EQ(sim.CommandCount(), 129u);
    EXPECT_EQ(buffer, sim.ReadMemory(0x32000, 4096));
}

TEST_F(MemoryTransfer, TimerStateIsGivenBackWhateverATickDidMeanwhile) {
    Attach();
    onPump = [&] { timerEnabled = !timerEnabled; };
    std::vector<std::uint8_t> buffer(256);
    for (bool atEntry : {true, false}) {
        timerEnabled = atEntry;
        exchange.WriteMemory(buffer.data(), 0x32000, buffer.size());
        EXPECT_EQ(timerEnabled, atEntry);
        timerEnabled = atEntry;
        exchange.ReadMemory(buffer.data(), 0x32000, buffer.size());
        EXPECT_EQ(timerEnabled, atEntry);
    }
    sim.IgnoreCommand(link::kReadBlock);
    timerEnabled = false;
    EXPECT_FALSE(exchange.ReadMemory(buffer.data(), 0x32000, buffer.size()));
    EXPECT_FALSE(timerEnabled);
}

TEST_F(MemoryTransfer, DetachedTransfersEndAtOnce) {
    sim.Unplug();
    ASSERT_TRUE(connection.Open());
    std::vector<std::uint8_t> buffer(8192);
    const MemoryWriteResult result = exchange.WriteMemory(buffer.data(), 0x30000, buffer.size());
    EXPECT_EQ(result.unanswered, 258);
    EXPECT_FALSE(exchange.ReadMemory(buffer.data(), 0x30000, buffer.size()));
    EXPECT_EQ(sim.CommandCount(), 0u);
}

}  // namespace
}  // namespace quelvar::exchange

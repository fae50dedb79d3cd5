// What the receiver stores for each kind of report, and the event queue.

#include <gtest/gtest.h>

#include "link/ConnHIDCOM.h"
#include "sim/SimDevice.h"
#include "sim/SimulatedCommunicator.h"

namespace quelvar::link {
namespace {

class DispatchTest : public ::testing::Test {
  protected:
    void Dispatch(const Report& report) { DispatchReport(connection, device, report); }
    void DispatchText(std::uint8_t code, const std::string& text) {
        Dispatch(sim::TextReport(code, text));
    }
    std::string Field(std::uint8_t code) { return *connection.StatusField(code); }

    sim::SimulatedCommunicator platform;
    ConnHIDCOM connection{platform};
    HID device{platform};
};

// A watcher that falls behind loses the oldest records, and learns how many.
TEST_F(DispatchTest, StatusRecordsBeyondTheCapacityAreDroppedAndCounted) {
    connection.KeepStatusRecords();
    connection.SetStatusRecordCapacity(3);
    for (const char* level : {"1", "2", "3", "4", "5"}) {
        DispatchText(200, level);
    }
    std::uint64_t dropped = 0;
    const std::vector<StatusRecord> records = connection.TakeStatusRecords(dropped);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records.front().text, "3");
    EXPECT_EQ(records.back().text, "5");
    EXPECT_EQ(dropped, 2u);
}

TEST_F(DispatchTest, StatusReportsFillTheirFieldsAndReplaceEarlierTexts) {
    DispatchText(200, "17");
    EXPECT_EQ(connection.Snapshot().gsmSignal, "17");
    DispatchText(200, "9");
    EXPECT_EQ(connection.Snapshot().gsmSignal, "9");
    DispatchText(202, "IDLE");
    DispatchText(203, "ALARM");
    DispatchText(204, "%null%");
    DispatchText(205, "ONHOOK");
    DispatchText(201, "a");
    DispatchText(207, "b");
    DispatchText(208, "c");
    DispatchText(209, "d");
    DispatchText(210, "e");
    const LinkSnapshot snapshot = connection.Snapshot();
    EXPECT_EQ(snapshot.input1State, "IDLE");
    EXPECT_EQ(snapshot.input2State, "ALARM");
    EXPECT_EQ(snapshot.simStatus, "%null%");
    EXPECT_EQ(snapshot.lineState, "ONHOOK");
    EXPECT_EQ(Field(201) + Field(207) + Field(208) + Field(209) + Field(210), "abcde");
    EXPECT_FALSE(device.AckReceived());
}

TEST_F(DispatchTest, StatusTextWithoutTerminatorIsTakenToTheEndOfTheReport) {
    Report report{};
    report[2] = 200;
    std::fill(report.begin() + 5, report.end(), 'x');
    Dispatch(report);
    EXPECT_EQ(connection.Snapshot().gsmSignal, std::string(60, 'x'));
}

TEST_F(DispatchTest, StatusReportsAreKeptWhileAParameterReplyIsAwaited) {
    Report reply{};
    device.SetReplyBuffer(&reply);
    DispatchText(200, "21");
    DispatchText(206, "E130 01 001");
    EXPECT_EQ(connection.Snapshot().gsmSignal, "21");
    EXPECT_EQ(connection.TakeEvent(), "E130 01 001");
    EXPECT_FALSE(device.AckReceived());
    EXPECT_EQ(reply, Report{});
}

TEST_F(DispatchTest, ParameterReplyIsCopiedOnlyWhenAwaited) {
    DispatchText(kGetParameter, "VSTR=1.23");
    EXPECT_FALSE(device.AckReceived());

    Report reply{};
    device.SetReplyBuffer(&reply);
    const Report answer = sim::TextReport(kGetParameter, "VSTR=1.23");
    Dispatch(answer);
    EXPECT_TRUE(device.AckReceived());
    EXPECT_EQ(reply, answer);
}

TEST_F(DispatchTest, DataBlockSetsAddressDataAndAcknowledgementUnasked) {
    Report report{};
    report[2] = kReadBlock;
    WriteLe32(&report[5], 0x31FE0);
    for (std::size_t i = 0; i < kBlockSize; ++i) {
        report[9 + i] = static_cast<std::uint8_t>(i + 1);
    }
    report[41] = 0xEE;  // past the block: not data
    Dispatch(report);
    EXPECT_TRUE(device.AckReceived());
    Block block{};
    EXPECT_FALSE(device.CopyBlockFrom(0x31FC0, block.data(), block.size()));
    ASSERT_TRUE(device.CopyBlockFrom(0x31FE0, block.data(), block.size()));
    EXPECT_EQ(block[0], 1);
    EXPECT_EQ(block[31], 32);
}

TEST_F(DispatchTest, AcknowledgementCodesSetTheFlagAndOthersOnlyTheLastReport) {
    for (std::uint8_t code : {kWriteBlock, kEraseSector, kSetParameter}) {
        device.ClearAck();
        Report report{};
        report[2] = code;
        Dispatch(report);
        EXPECT_TRUE(device.AckReceived()) << int(code);
    }
    for (int code : {0, 6, 99, 100, 199, 211, 255}) {
        device.ClearAck();
        Report report = sim::TextReport(static_cast<std::uint8_t>(code), "zz");
        Dispatch(report);
        EXPECT_FALSE(device.AckReceived()) << code;
        EXPECT_EQ(device.LastReport(), report);
        EXPECT_EQ(connection.TakeEvent(), kNoEvent);
    }
    EXPECT_EQ(connection.Snapshot().gsmSignal, "");
}

TEST_F(DispatchTest, EventLinesQueueInArrivalOrderAndEmptyOnesAreNotQueued) {
    EXPECT_EQ(connection.TakeEvent(), "0");
    DispatchText(206, "one");
    DispatchText(206, "");
    EXPECT_EQ(Field(kEventLineCode), "");
    DispatchText(206, "two");
    DispatchText(206, "three");
    EXPECT_EQ(connection.TakeEvent(), "one");
    EXPECT_EQ(connection.TakeEvent(), "two");
    EXPECT_EQ(connection.TakeEvent(), "three");
    EXPECT_EQ(connection.TakeEvent(), "0");
}

TEST_F(DispatchTest, FullEventQueueDropsTheOldestLine) {
    for (int i = 0; i < 300; ++i) {
        connection.PushEvent("line " + std::to_string(i));
    }
    EXPECT_EQ(connection.EventsWaiting(), 255u);
    // 255 lines fit; the 45 oldest made room for newer ones.
    EXPECT_EQ(connection.TakeEvent(), "line 45");
    int taken = 1;
    std::string last;
    for (std::string line = connection.TakeEvent(); line != kNoEvent;
         line = connection.TakeEvent()) {
        last = line;
        ++taken;
    }
    EXPECT_EQ(taken, 255);
    EXPECT_EQ(last, "line 299");
}

}  // namespace
}  // namespace quelvar::link

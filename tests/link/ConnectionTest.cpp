// The receiver thread against the simulated communicator: attach and detach, exchanges,
// text chunks, and stopping.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>

#include "link/ConnHIDCOM.h"
#include "sim/SimulatedCommunicator.h"
#include "support/WaitFor.h"

namespace quelvar::link {
namespace {

using namespace std::chrono_literals;
using test::WaitFor;

class StateCounter : public ChangeStateEvent {
  public:
    void OnChangeState(const std::string& state) override {
        (state == kStateAttached ? attached : detached)++;
    }
    std::atomic<int> attached{0};
    std::atomic<int> detached{0};
};

class ConnectionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        connection.AddStateListener(&states);
        connection.SetAckTimeout(300ms);
    }

    void OpenAndAttach() {
        ASSERT_TRUE(connection.Open());
        ASSERT_TRUE(WaitFor([&] { return connection.IsAttached(); }));
    }

    Command GetCommand(const std::string& key) {
        Command command{};
        command[0] = kGetParameter;
        std::copy(key.begin(), key.end(), command.begin() + 4);
        return command;
    }

    // Declared so that the connection stops before the listener and the device go.
    sim::SimulatedCommunicator sim;
    StateCounter states;
    ConnHIDCOM connection{sim};
};

TEST_F(ConnectionTest, NewConnectionIsNamedAndClosed) {
    EXPECT_EQ(connection.GetName(), "HID");
    EXPECT_FALSE(connection.IsOpen());
    EXPECT_FALSE(connection.IsAttached());
    EXPECT_TRUE(connection.Write(reinterpret_cast<const std::uint8_t*>("ab"), 2));
    EXPECT_EQ(sim.CommandCount(), 0u);
}

TEST_F(ConnectionTest, EachPlugAndUnplugIsReportedExactlyOnceAndNumbered) {
    EXPECT_EQ(connection.AckTimeout(), 300ms);
    // The default acknowledgement wait, of the connection and of a device object alike.
    EXPECT_EQ(ConnHIDCOM(sim).AckTimeout(), 1002ms);
    EXPECT_EQ(HID(sim).AckTimeout(), 1002ms);
    OpenAndAttach();
    EXPECT_EQ(states.attached, 1);
    EXPECT_EQ(connection.Attachment(), 1u);
    sim.Unplug();
    ASSERT_TRUE(WaitFor([&] { return !connection.IsAttached(); }));
    std::this_thread::sleep_for(50ms);  // the link keeps looking while unplugged
    EXPECT_EQ(states.detached, 1);
    EXPECT_EQ(sim.OpenHandleCount(), 0);
    EXPECT_EQ(connection.Attachment(), 0u);

    sim.Plug();
    ASSERT_TRUE(WaitFor([&] { return connection.IsAttached(); }));
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(states.attached, 2);
    EXPECT_EQ(states.detached, 1);
    EXPECT_EQ(connection.Attachment(), 2u);
}

TEST_F(ConnectionTest, DeviceIsLookedForUntilItAppears) {
    sim.Unplug();
    ASSERT_TRUE(connection.Open());
    ASSERT_TRUE(WaitFor([&] { return sim.EnumerateCount() >= 3; }));
    EXPECT_FALSE(connection.IsAttached());
    sim.Plug();
    EXPECT_TRUE(WaitFor([&] { return connection.IsAttached(); }));
}

TEST_F(ConnectionTest, GetParameterExchangeEndToEnd) {
    OpenAndAttach();
    Report reply{};
    connection.Device().SetReplyBuffer(&reply);
    EXPECT_TRUE(connection.Device().SendCommand(GetCommand("VSTR")));
    connection.Device().SetReplyBuffer(nullptr);
    EXPECT_EQ(TextAt(reply, 5), "VSTR=2.14");
    ASSERT_EQ(sim.CommandCount(), 1u);
    EXPECT_EQ(sim.Commands()[0].code, kGetParameter);
    EXPECT_EQ(sim.Commands()[0].text, "VSTR");
    EXPECT_EQ(sim.Commands()[0].report[0], 0);
}

TEST_F(ConnectionTest, StatusTextsArriveWhileACommandWaits) {
    std::atomic<int> pumped{0};
    connection.SetMessagePump([&] {
        if (++pumped == 5) {
            sim.SendStatus(200, "23");
            sim.SendStatus(206, "E130 01 001");
        }
    });
    sim.SetTiming({30ms, 0us});
    OpenAndAttach();
    Report reply{};
    connection.Device().SetReplyBuffer(&reply);
    EXPECT_TRUE(connection.Device().SendCommand(GetCommand("PW")));
    EXPECT_GE(pumped, 5);
    connection.Device().SetReplyBuffer(nullptr);
    EXPECT_EQ(connection.Snapshot().gsmSignal, "23");
    ConnHIDCOM::LockGuard lock(connection);
    EXPECT_EQ(connection.TakeEvent(), "E130 01 001");
    EXPECT_EQ(TextAt(reply, 5), "PW=583920");
}

TEST_F(ConnectionTest, UnansweredCommandGivesUpAndPumpsMeanwhile) {
    sim.IgnoreCommand(kSetParameter);
    int pumped = 0;
    connection.SetMessagePump([&] { ++pumped; });
    connection.SetAckTimeout(50ms);
    OpenAndAttach();
    Command command{};
    command[0] = kSetParameter;
    EXPECT_FALSE(connection.Device().SendCommand(command));
    EXPECT_FALSE(connection.Device().AckReceived());
    EXPECT_GE(pumped, 10);
}

TEST_F(ConnectionTest, CommandWhileDetachedSendsNothingAndReturnsAtOnce) {
    sim.Unplug();
    ASSERT_TRUE(connection.Open());
    connection.SetAckTimeout(5000ms);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(connection.Device().SendCommand(GetCommand("PW")));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1000ms);
    EXPECT_EQ(sim.CommandCount(), 0u);
}

TEST_F(ConnectionTest, UnplugDuringAWaitEndsTheWait) {
    sim.IgnoreCommand(kGetParameter);
    connection.SetAckTimeout(5000ms);
    int pumped = 0;
    connection.SetMessagePump([&] {
        if (++pumped == 3) {
            sim.Unplug();
        }
    });
    OpenAndAttach();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(connection.Device().SendCommand(GetCommand("PW")));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2000ms);
}

// Each way a command can end is told apart, and the time limit is the call's own.
TEST_F(ConnectionTest, SendSaysWhyACommandFailed) {
    connection.SetAckTimeout(5000ms);
    OpenAndAttach();
    HID& device = connection.Device();
    Command set{};
    set[0] = kSetParameter;
    EXPECT_EQ(device.Send(set, 1000ms), SendResult::kAcknowledged);
    sim.IgnoreCommand(kSetParameter);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(device.Send(set, 100ms), SendResult::kTimedOut);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2000ms) << "not the 5 s of the device";
    sim.IgnoreCommand(kSetParameter, false);
    device.PinAttachment(connection.Attachment() + 1);
    EXPECT_EQ(device.Send(set, 100ms), SendResult::kNotPinned);
    device.PinAttachment(0);
    sim.Unplug();
    EXPECT_TRUE(WaitFor([&] { return !connection.IsAttached(); }));
    EXPECT_EQ(device.Send(set, 100ms), SendResult::kDetached);
    EXPECT_EQ(sim.CommandCount(), 2u) << "nothing written while not reachable";
}

// A sequence pinned to its attachment sends nothing to the device plugged in after it, though
// that one is attached under a later number.
TEST_F(ConnectionTest, PinnedCommandsAreRefusedOnARepluggedDevice) {
    OpenAndAttach();
    const std::uint64_t pinned = connection.Attachment();
    connection.PinAttachment(pinned);
    Report reply{};
    EXPECT_EQ(connection.Send(GetCommand("VSTR"), &reply), SendResult::kAcknowledged);
    sim.Unplug();
    ASSERT_TRUE(WaitFor([&] { return !connection.IsAttached(); }));
    sim.Plug();
    ASSERT_TRUE(WaitFor([&] { return connection.IsAttached(); }));
    ASSERT_GT(connection.Attachment(), pinned);
    EXPECT_EQ(connection.Send(GetCommand("VSTR"), &reply), SendResult::kNotPinned);
    EXPECT_EQ(sim.CommandCount(), 1u);
    connection.PinAttachment(0);
    EXPECT_EQ(connection.Send(GetCommand("VSTR"), &reply), SendResult::kAcknowledged);
}

TEST_F(ConnectionTest, WriteSendsTextInChunksOfSixty) {
    OpenAndAttach();
    std::vector<std::uint8_t> bytes(130);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>('A' + i % 26);
    }
    EXPECT_TRUE(connection.Write(bytes.data(), bytes.size()));
    const auto commands = sim.Commands();
    ASSERT_EQ(commands.size(), 3u);
    const int lengths[] = {60, 60, 10};
    for (std::size_t i = 0; i < 3; ++i) {
        const Report& r = commands[i].report;
        EXPECT_EQ(r[0], 0);
        EXPECT_EQ(r[1], 1);
        EXPECT_EQ(r[2], lengths[i]);
        EXPECT_EQ(r[5], bytes[i * 60]);
        EXPECT_EQ(r[5 + lengths[i] - 1], bytes[i * 60 + lengths[i] - 1]);
        if (5 + lengths[i] < static_cast<int>(r.size())) {
            EXPECT_EQ(r[5 + lengths[i]], 0) << "nothing after the chunk";
        }
    }
}

TEST_F(ConnectionTest, CloseStopsTheReceiverAndReleasesTheDevice) {
    OpenAndAttach();
    const auto start = std::chrono::steady_clock::now();
    connection.Close();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1000ms);
    EXPECT_TRUE(connection.ReceiverFinished());
    EXPECT_FALSE(connection.IsOpen());
    EXPECT_EQ(sim.OpenHandleCount(), 0);
    EXPECT_EQ(states.detached, 1);
    const int enumerations = sim.EnumerateCount();
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(sim.EnumerateCount(), enumerations) << "no reconnect after the stop";
}

TEST_F(ConnectionTest, CloseWhileDetachedEndsTheSearch) {
    sim.Unplug();
    ASSERT_TRUE(connection.Open());
    ASSERT_TRUE(WaitFor([&] { return sim.EnumerateCount() >= 1; }));
    connection.Close();
    EXPECT_FALSE(connection.IsOpen());
    EXPECT_EQ(states.detached, 0);
}

}  // namespace
}  // namespace quelvar::link

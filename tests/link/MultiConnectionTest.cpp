// Several communicators at once: listing them, opening each by its path, and two connections
// running whole sessions on two threads, each with its own receiver.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "exchange/DeviceExchange.h"
#include "exchange/DeviceSession.h"
#include "link/ConnHIDCOM.h"
#include "settings/SettingsCheck.h"
#include "sim/SimulatedBus.h"
#include "support/WaitFor.h"

namespace quelvar::link {
namespace {

using namespace std::chrono_literals;
using sim::SimulatedBus;
using test::WaitFor;

Command GetCommand(const std::string& key) {
    Command command{};
    command[0] = kGetParameter;
    std::copy(key.begin(), key.end(), command.begin() + 4);
    return command;
}

// The answer the connection gets to a request for "VSTR", or "" when none came.
std::string Version(ConnHIDCOM& connection) {
    Report reply{};
    if (connection.Send(GetCommand("VSTR"), &reply) != SendResult::kAcknowledged) {
        return "";
    }
    return TextAt(reply, kTextOffset);
}

TEST(MultiConnection, ListsEveryCommunicatorAndOpensEachByItsPath) {
    SimulatedBus bus(2);
    bus.Communicator(0).SetParameter("VSTR", "1.00");
    bus.Communicator(1).SetParameter("VSTR", "2.00");
    const std::vector<DeviceInfo> listed = ListCommunicators(bus);
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0].path, SimulatedBus::PathOf(0));
    EXPECT_EQ(listed[1].path, SimulatedBus::PathOf(1));
    EXPECT_NE(listed[0].path, listed[1].path);
    for (const DeviceInfo& info : listed) {
        EXPECT_EQ(info.hardwareId, sim::kSimHardwareId);
    }

    // Opened the other way round from the list, so the first match cannot pass for either.
    ConnHIDCOM second(bus, listed[1].path);
    ConnHIDCOM first(bus, listed[0].path);
    ASSERT_TRUE(second.Open());
    ASSERT_TRUE(first.Open());
    ASSERT_TRUE(WaitFor([&] { return first.IsAttached() && second.IsAttached(); }));
    EXPECT_EQ(Version(first), "VSTR=1.00");
    EXPECT_EQ(Version(second), "VSTR=2.00");
    EXPECT_EQ(bus.Communicator(0).CommandCount(), 1u);
    EXPECT_EQ(bus.Communicator(1).CommandCount(), 1u);

    // A connection made for one path waits for that device, however many others are there.
    bus.Communicator(1).Unplug();
    ASSERT_TRUE(WaitFor([&] { return !second.IsAttached(); }));
    EXPECT_EQ(ListCommunicators(bus).size(), 1u);
    const int passes = second.DiscoveryPasses();
    ASSERT_TRUE(WaitFor([&] { return second.DiscoveryPasses() >= passes + 3; }));
    EXPECT_FALSE(second.IsAttached());
    EXPECT_EQ(bus.Communicator(0).OpenHandleCount(), 2) << "only the first connection's";
    EXPECT_EQ(first.Attachment(), 1u) << "the first connection saw nothing of it";
    bus.Communicator(1).Plug();
    ASSERT_TRUE(WaitFor([&] { return second.IsAttached(); }));
    EXPECT_EQ(Version(second), "VSTR=2.00");

    // Without a path, the first communicator listed.
    bus.Communicator(0).Unplug();
    ConnHIDCOM any(bus);
    ASSERT_TRUE(any.Open());
    ASSERT_TRUE(WaitFor([&] { return any.IsAttached(); }));
    EXPECT_EQ(Version(any), "VSTR=2.00");
}

// What one thread's session brought from its device.
struct SessionRun {
    std::vector<settings::SettingValues> reads;
    bool complete = true;
    int exchangesMatched = 0;
    std::chrono::steady_clock::time_point start, end;
};

settings::SettingValues ReadAll(exchange::DeviceExchange& exchange, bool& complete) {
    settings::SettingsModel model;
    exchange::DeviceSession session(exchange);
    const exchange::ReadAllResult result = session.ReadEverything(model);
    complete = complete && result.Complete();
    return settings::ValuesOf(model, result.modeIndex);
}

// Two connections, each to its own communicator and with its own receiver thread, run whole
// reads and parameter exchanges at once, while both devices keep sending status reports: each
// gets its own device's answers, none is lost, and each keeps its own status texts.
TEST(MultiConnection, TwoConnectionsRunSessionsAtOnceOnTwoThreads) {
    constexpr int kReads = 2;
    constexpr int kExchanges = 200;
    SimulatedBus bus(2);
    for (std::size_t i = 0; i < 2; ++i) {
        sim::SimulatedCommunicator& device = bus.Communicator(i);
        const std::string n = std::to_string(i + 1);
        device.SetParameter("UPHN1", "+3630000000" + n);
        device.SetParameter("ACCID", n + n + n + n);
        device.SetParameter("SMODE", i == 0 ? "Standalone" : "Transparent");
        device.LoadMemory(sim::kMemoryBase + 16, std::vector<std::uint8_t>(12, 'A' + i));
        sim::SimulatedCommunicator::StatusTexts texts;
        texts.signal = i == 0 ? 7 : 23;
        device.SetStatusTexts(texts);
        device.SetStatusPeriod(2ms);
    }
    std::vector<std::unique_ptr<ConnHIDCOM>> connections;
    for (std::size_t i = 0; i < 2; ++i) {
        connections.push_back(std::make_unique<ConnHIDCOM>(bus, SimulatedBus::PathOf(i)));
        ASSERT_TRUE(connections.back()->Open());
    }
    ASSERT_TRUE(
        WaitFor([&] { return connections[0]->IsAttached() && connections[1]->IsAttached(); }));

    // One at a time first: what each device reads as.
    std::vector<settings::SettingValues> alone;
    for (std::size_t i = 0; i < 2; ++i) {
        exchange::DeviceExchange exchange(*connections[i]);
        bool complete = true;
        alone.push_back(ReadAll(exchange, complete));
        ASSERT_TRUE(complete);
    }
    ASSERT_NE(alone[0], alone[1]) << "the devices must read differently";

    SessionRun runs[2];
    std::atomic<int> ready{0};
    auto session = [&](std::size_t i) {
        exchange::DeviceExchange exchange(*connections[i]);
        SessionRun& run = runs[i];
        ++ready;
        while (ready < 2) {
            std::this_thread::yield();
        }
        run.start = std::chrono::steady_clock::now();
        for (int r = 0; r < kReads; ++r) {
            run.reads.push_back(ReadAll(exchange, run.complete));
        }
        for (int e = 0; e < kExchanges; ++e) {
            const std::string value = "+36" + std::to_string(i + 1) + std::to_string(100000 + e);
            if (exchange.SetParameter("SFWN", value) == exchange::SetOutcome::kAcknowledged &&
                exchange.TryGetParameter("SFWN") == value) {
                ++run.exchangesMatched;
            }
        }
        run.end = std::chrono::steady_clock::now();
    };
    std::thread one(session, 0);
    std::thread two(session, 1);
    one.join();
    two.join();

    EXPECT_LT(runs[0].start, runs[1].end);
    EXPECT_LT(runs[1].start, runs[0].end);
    for (std::size_t i = 0; i < 2; ++i) {
        SCOPED_TRACE("device " + std::to_string(i + 1));
        EXPECT_TRUE(runs[i].complete);
        ASSERT_EQ(runs[i].reads.size(), std::size_t{kReads});
        for (const settings::SettingValues& values : runs[i].reads) {
            EXPECT_EQ(values, alone[i]);
        }
        EXPECT_EQ(runs[i].exchangesMatched, kExchanges);
        EXPECT_EQ(bus.Communicator(i).Parameter("SFWN"),
                  "+36" + std::to_string(i + 1) + std::to_string(100000 + kExchanges - 1));
    }
    EXPECT_TRUE(WaitFor([&] { return connections[0]->Snapshot().gsmSignal == "7"; }));
    EXPECT_TRUE(WaitFor([&] { return connections[1]->Snapshot().gsmSignal == "23"; }));
}

}  // namespace
}  // namespace quelvar::link

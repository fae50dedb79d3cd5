// Several simulated communicators behind one platform: each path reaches its own device.

#include "sim/SimulatedBus.h"

#include <gtest/gtest.h>

#include <thread>

#include "support/Requests.h"

namespace quelvar::sim {
namespace {

using link::OpenError;
using link::ReadStatus;
using link::Report;

Report Get(const std::string& key) {
    return test::GetRequest(key);
}

TEST(SimulatedBus, ListsThePluggedCommunicatorsEachUnderItsOwnPath) {
    SimulatedBus bus(3);
    EXPECT_EQ(bus.Count(), 3u);
    bus.Communicator(1).Unplug();
    const std::vector<link::HidInterface> listed = bus.Enumerate();
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0].path, SimulatedBus::PathOf(0));
    EXPECT_EQ(listed[1].path, SimulatedBus::PathOf(2));
    EXPECT_EQ(listed[1].hardwareId, kSimHardwareId);
}

TEST(SimulatedBus, HandlesReachTheCommunicatorOfTheirPathOnly) {
    SimulatedBus bus(2);
    bus.Communicator(1).SetParameter("VSTR", "9.99");
    auto reader = bus.OpenReader(SimulatedBus::PathOf(1));
    auto writer = bus.OpenWriter(SimulatedBus::PathOf(1));
    ASSERT_TRUE(reader && writer);
    EXPECT_EQ(bus.Communicator(0).OpenHandleCount(), 0);
    EXPECT_EQ(bus.Communicator(1).OpenHandleCount(), 2);
    ASSERT_TRUE(writer->Write(Get("VSTR")));
    Report answer{};
    ASSERT_EQ(reader->Read(answer), ReadStatus::kReport);
    EXPECT_EQ(link::TextAt(answer, link::kTextOffset), "VSTR=9.99");
    EXPECT_EQ(bus.Communicator(0).CommandCount(), 0u);
    EXPECT_EQ(bus.Communicator(1).CommandCount(), 1u);
}

// Why an open failed is the failing communicator's, and each thread hears of its own open.
TEST(SimulatedBus, OpenErrorsAreTheCommunicatorsAndTheCallingThreads) {
    SimulatedBus bus(2);
    bus.Communicator(1).DenyPermission(true);
    EXPECT_EQ(bus.OpenReader(SimulatedBus::PathOf(1)), nullptr);
    EXPECT_EQ(bus.LastOpenError(), OpenError::kPermissionDenied);
    std::thread other([&] {
        EXPECT_NE(bus.OpenWriter(SimulatedBus::PathOf(0)), nullptr);
        EXPECT_EQ(bus.LastOpenError(), OpenError::kNone);
    });
    other.join();
    EXPECT_EQ(bus.LastOpenError(), OpenError::kPermissionDenied);
    EXPECT_EQ(bus.OpenWriter(kSimPath), nullptr) << "a lone communicator's path is none here";
    EXPECT_EQ(bus.LastOpenError(), OpenError::kOther);
}

}  // namespace
}  // namespace quelvar::sim

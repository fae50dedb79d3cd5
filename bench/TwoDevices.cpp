#include "TwoDevices.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "exchange/DeviceExchange.h"
#include "exchange/DeviceSession.h"
#include "link/ConnHIDCOM.h"
#include "settings/Catalogue.h"
#include "sim/SimulatedBus.h"

namespace quelvar::bench {

namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

TwoDeviceRuns MeasureTwoDevices() {
    sim::SimulatedBus bus(2);
    std::vector<std::unique_ptr<link::ConnHIDCOM>> connections;
    for (std::size_t i = 0; i < bus.Count(); ++i) {
        bus.Communicator(i).SetTiming({kLatency, kFrame});
        connections.push_back(
            std::make_unique<link::ConnHIDCOM>(bus, sim::SimulatedBus::PathOf(i)));
        connections.back()->Open();
    }
    for (const auto& connection : connections) {
        while (!connection->IsAttached()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    Run runs[2];
    std::atomic<int> ready{0};
    auto read = [&](std::size_t i) {
        exchange::DeviceExchange exchange(*connections[i]);
        exchange::DeviceSession session(exchange);
        settings::SettingsModel model;
        bus.Communicator(i).ClearCommands();
        // Both start together, so the two run at once for the whole measure.
        ++ready;
        while (ready < 2) {
            std::this_thread::yield();
        }
        const Clock::time_point start = Clock::now();
        session.ReadEverything(model);
        runs[i].ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        runs[i].exchanges = bus.Communicator(i).CommandCount();
    };
    std::thread first(read, 0);
    std::thread second(read, 1);
    first.join();
    second.join();
    return {runs[0], runs[1]};
}

}  // namespace quelvar::bench

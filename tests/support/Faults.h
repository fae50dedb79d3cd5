#pragma once
// Faults for the simulated communicator beyond its own: reports that arrive ahead of a
// command's answer, commands the device misreads, a slow bus; and seeded choices of commands
// and random reports.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "link/HidPlatform.h"
#include "link/Report.h"
#include "sim/SimulatedCommunicator.h"

namespace quelvar::test {

// Passes everything through to the simulator and keeps the commands as the tool wrote them.
// Before a command (numbered from 1) reaches the device, waits out `writeTime` as a slow bus
// would, sends the reports `before` gives, so they arrive ahead of its answer, and lets `alter`
// change the command, as a confused firmware would misread it.
class StrayReports : public link::HidPlatform {
  public:
    using Before =
        std::function<std::vector<link::Report>(std::size_t number, const link::Report& command)>;
    using Alter = std::function<void(std::size_t number, link::Report& command)>;

    explicit StrayReports(sim::SimulatedCommunicator& device) : device_(device) {}

    std::vector<link::HidInterface> Enumerate() override { return device_.Enumerate(); }
    std::unique_ptr<link::HidReader> OpenReader(const std::string& path) override {
        return device_.OpenReader(path);
    }
    std::unique_ptr<link::HidWriter> OpenWriter(const std::string& path) override {
        std::unique_ptr<link::HidWriter> writer = device_.OpenWriter(path);
        return writer ? std::make_unique<Writer>(*this, std::move(writer)) : nullptr;
    }

    // Used on the sending thread only.
    Before before;
    Alter alter;
    std::chrono::microseconds writeTime{0};
    std::vector<link::Report> written;
    // Forgets the commands written; the next is numbered 1 again.
    void Renumber() { written.clear(); }

  private:
    class Writer : public link::HidWriter {
      public:
        Writer(StrayReports& owner, std::unique_ptr<link::HidWriter> inner)
            : owner_(owner), inner_(std::move(inner)) {}
        bool Write(const link::Report& report) override {
            owner_.written.push_back(report);
            const std::size_t number = owner_.written.size();
            std::this_thread::sleep_for(owner_.writeTime);
            if (owner_.before) {
                for (const link::Report& stray : owner_.before(number, report)) {
                    owner_.device_.SendReport(stray);
                }
            }
            link::Report command = report;
            if (owner_.alter) {
                owner_.alter(number, command);
            }
            return inner_->Write(command);
        }

      private:
        StrayReports& owner_;
        std::unique_ptr<link::HidWriter> inner_;
    };

    sim::SimulatedCommunicator& device_;
};

// Command numbers (from 1), each chosen with the given chance in percent.
inline std::set<std::size_t> Chosen(std::uint32_t seed, int percent, std::size_t commands) {
    std::mt19937 random(seed);
    std::set<std::size_t> lost;
    for (std::size_t n = 1; n <= commands; ++n) {
        if (static_cast<int>(random() % 100) < percent) {
            lost.insert(n);
        }
    }
    return lost;
}

// A report of random bytes. A parameter reply (code 5) is taken as the answer to a read
// whatever key it names, so none is made: its code byte becomes 0.
inline link::Report RandomReport(std::mt19937& random) {
    link::Report report;
    for (std::uint8_t& byte : report) {
        byte = static_cast<std::uint8_t>(random());
    }
    if (report[2] == link::kGetParameter) {
        report[2] = 0;
    }
    return report;
}

}  // namespace quelvar::test

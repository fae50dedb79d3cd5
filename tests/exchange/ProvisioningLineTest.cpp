// The provisioning line in process against several simulated communicators: each device gets
// its own row, and a cable pulled from one device at any point of its turn leaves that one said
// and the other verified; a device cut before anything was written gives its row back.

#include "exchange/ProvisioningLine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <mutex>

#include "exchange/DeviceExchange.h"
#include "exchange/DeviceSession.h"
#include "link/ConnHIDCOM.h"
#include "settings/SettingsFile.h"
#include "sim/SimulatedBus.h"
#include "support/WaitFor.h"

namespace quelvar::exchange {
namespace {

using namespace std::chrono_literals;

// The cable-pull sweep: through the log-in and the read (which change nothing) every
// kReadStride-th exchange, through the writes and the read-back every kWriteStride-th;
// QUELVAR_SWEEP_STRIDE=1 takes every exchange of the whole turn.
constexpr std::size_t kReadStride = 50;
#ifdef _WIN32
// Under Wine each device's threads start many times slower: fewer points, the same kinds.
constexpr std::size_t kWriteStride = 25;
#else
constexpr std::size_t kWriteStride = 5;
#endif
// The exchanges of a whole read: after them the writes begin.
constexpr std::size_t kReadExchanges = 404;

std::vector<std::size_t> SweepPoints(std::size_t turn) {
    const char* every = std::getenv("QUELVAR_SWEEP_STRIDE");
    const std::size_t stride = every != nullptr ? std::max(1, std::atoi(every)) : 0;
    std::vector<std::size_t> points;
    for (std::size_t cut = 1; cut < turn;) {
        points.push_back(cut);
        cut += stride ? stride : (cut < kReadExchanges ? kReadStride : kWriteStride);
    }
    return points;
}

class ProvisioningLineTest : public ::testing::Test {
  protected:
    // A template that differs from the devices in a phone number and an alarm row, and two rows
    // of values with their own account IDs.
    settings::SettingsFileContent Template() {
        sim::SimulatedBus one(1, FastOptions());
        link::ConnHIDCOM connection(one, sim::SimulatedBus::PathOf(0));
        DeviceExchange exchange(connection);
        EXPECT_TRUE(connection.Open());
        EXPECT_TRUE(test::WaitFor([&] { return connection.IsAttached(); }));
        settings::SettingsModel model;
        DeviceSession session(exchange);
        const ReadAllResult read = session.ReadEverything(model);
        EXPECT_TRUE(read.Complete());
        model.Rule(settings::TableId::kPhoneNumbers).SetValue("T2", "+3622");
        model.AlarmGrid().SetCell(1, 3, "131");
        const std::optional<std::string> bytes =
            settings::BuildSettingsFile("", model, read.modeIndex);
        return *settings::ParseSettingsFile(*bytes, "template.am2").content;
    }

    static sim::SimulatedCommunicator::Options FastOptions() {
        sim::SimulatedCommunicator::Options options;
        options.statusPeriod = 0ms;
        return options;
    }

    struct Ended {
        LineDevice device;
        LineResult result;
    };

    // Runs the line until it has nothing more to do; `between` after each of its looks.
    std::vector<Ended> Run(sim::SimulatedBus& bus, std::optional<std::size_t> count,
                           const std::function<void(const std::vector<Ended>&)>& between = {}) {
        ProvisioningLine::Options options(templateContent);
        options.values = values;
        options.count = count;
        options.attachWait = 2s;
        std::vector<Ended> ended;
        std::mutex mutex;
        ProvisioningLine::Hooks hooks;
        hooks.ended = [&](const LineDevice& device, const LineResult& result,
                          const settings::SettingsModel&) {
            std::lock_guard lock(mutex);
            ended.push_back({device, result});
        };
        ProvisioningLine line(bus, std::move(options), std::move(hooks));
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        while (line.Step() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(5ms);
            if (between) {
                std::lock_guard lock(mutex);
                between(ended);
            }
        }
        line.Finish();
        return ended;
    }

    settings::SettingsFileContent templateContent = Template();
    std::optional<settings::ValuesTable> values =
        settings::ValuesTable{{"ACCID"}, {{"1A01"}, {"1A02"}, {"1A03"}}};
};

TEST_F(ProvisioningLineTest, EachDeviceGetsItsOwnRowAndOnlyWhatDiffers) {
    sim::SimulatedBus bus(2, FastOptions());
    const std::vector<Ended> ended = Run(bus, 2);
    ASSERT_EQ(ended.size(), 2u);
    std::set<std::string> accounts;
    for (const Ended& each : ended) {
        EXPECT_TRUE(each.result.verified) << each.result.words;
        // The phone number, the account ID and one sector of the alarm table.
        EXPECT_EQ(each.result.written.parameters, 2);
        EXPECT_EQ(each.result.written.sectors, 1);
        accounts.insert(each.result.accountAfter);
        EXPECT_EQ(LineSentence(each.device, each.result).find(" written and verified in "),
                  std::string("port #1: 1A01").size());
    }
    EXPECT_EQ(accounts, (std::set<std::string>{"1A01", "1A02"}));
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(bus.Communicator(i).Parameter("UPHN2"), "+3622");
    }
}

// The cable of the first device pulled at points across its whole turn: the second device
// always ends verified with its own row; the first is said as the device holds it, and its row
// goes to the next device when nothing was written.
TEST_F(ProvisioningLineTest, ACablePulledFromOneDeviceLeavesTheOtherVerified) {
    std::size_t turn = 0;
    {
        sim::SimulatedBus bus(1, FastOptions());
        ASSERT_EQ(Run(bus, 1).size(), 1u);
        turn = bus.Communicator(0).CommandCount();
    }
    const std::string factoryPhone = sim::SimulatedBus(1).Communicator(0).Parameter("UPHN2");
    for (const std::size_t cut : SweepPoints(turn)) {
        SCOPED_TRACE("pulled after " + std::to_string(cut) + " of " + std::to_string(turn));
        sim::SimulatedBus bus(2, FastOptions());
        bus.Communicator(0).DisconnectAfter(cut);
        const std::vector<Ended> ended = Run(bus, 2);
        ASSERT_EQ(ended.size(), 2u);
        std::map<std::string, const Ended*> byPath;
        for (const Ended& each : ended) {
            byPath[each.device.path] = &each;
        }
        const LineResult& pulled = byPath.at(sim::SimulatedBus::PathOf(0))->result;
        const LineResult& other = byPath.at(sim::SimulatedBus::PathOf(1))->result;
        EXPECT_TRUE(other.verified) << other.words;
        EXPECT_FALSE(pulled.verified);
        EXPECT_NE(pulled.words.find("went away"), std::string::npos) << pulled.words;
        const bool unchanged = pulled.outcome.holds == DeviceHolds::kUnchanged;
        EXPECT_EQ(pulled.words.find("nothing on it was changed") != std::string::npos, unchanged)
            << pulled.words;
        // Said unchanged, it holds what it held; otherwise it is said as partial or unverified.
        if (unchanged) {
            EXPECT_EQ(bus.Communicator(0).Parameter("ACCID"), "12AB");
            EXPECT_EQ(bus.Communicator(0).Parameter("UPHN2"), factoryPhone);
        } else {
            EXPECT_TRUE(pulled.words.find("partial") != std::string::npos ||
                        pulled.words.find("not verified") != std::string::npos)
                << pulled.words;
        }
        EXPECT_EQ(bus.Communicator(1).Parameter("UPHN2"), "+3622");
    }
}

TEST_F(ProvisioningLineTest, ADeviceCutBeforeAnyWriteGivesItsRowToTheNextOne) {
    sim::SimulatedBus bus(2, FastOptions());
    bus.Communicator(0).DisconnectAfter(3);  // during the log-in
    int looksSinceCut = 0;
    const std::vector<Ended> ended = Run(bus, 3, [&](const std::vector<Ended>& sofar) {
        // Plugged in again once the line has looked and seen it gone: it comes back as the next
        // unit.
        const bool cut = !sofar.empty() && !sofar.front().result.verified;
        if (cut && ++looksSinceCut == 3) {
            bus.Communicator(0).Plug();
        }
    });
    ASSERT_EQ(ended.size(), 3u);
    EXPECT_FALSE(ended[0].result.verified);
    std::set<std::string> accounts;
    for (std::size_t i = 1; i < ended.size(); ++i) {
        EXPECT_TRUE(ended[i].result.verified) << ended[i].result.words;
        accounts.insert(ended[i].result.accountAfter);
    }
    // The row the cut device had is not lost: the two verified ones hold the first two rows.
    EXPECT_EQ(accounts, (std::set<std::string>{"1A01", "1A02"}));
}

}  // namespace
}  // namespace quelvar::exchange

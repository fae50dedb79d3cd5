#pragma once
// A connection to the simulated communicator, attached, with recording exchange hooks.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "exchange/DeviceExchange.h"
#include "link/ConnHIDCOM.h"
#include "sim/SimulatedCommunicator.h"
#include "support/WaitFor.h"

namespace quelvar::exchange {

class ExchangeFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        connection.SetAckTimeout(std::chrono::milliseconds(30));
        connection.SetMessagePump([this] {
            if (onPump) {
                onPump();
            }
        });
        exchange.Hooks() = {
            [this](const std::string& text) { statusTexts.push_back(text); },
            [this] { return timerEnabled; },
            [this](bool enabled) { timerEnabled = enabled; },
            [this] {
                if (onPump) {
                    onPump();
                }
            },
        };
    }

    // Hooks for one transfer that note its progress.
    TransferHooks RecordingTransfer() {
        return {[this](int position, int maximum) {
                    lastProgress = position;
                    progressMaximum = maximum;
                },
                {}};
    }

    void Attach() {
        ASSERT_TRUE(connection.Open());
        ASSERT_TRUE(test::WaitFor([&] { return connection.IsAttached(); }));
    }

    std::vector<sim::RecordedCommand> CommandsWithCode(std::uint8_t code) const {
        std::vector<sim::RecordedCommand> matching;
        for (const auto& command : sim.Commands()) {
            if (command.code == code) {
                matching.push_back(command);
            }
        }
        return matching;
    }

    sim::SimulatedCommunicator sim;
    link::ConnHIDCOM connection{sim};
    DeviceExchange exchange{connection};
    std::function<void()> onPump;
    std::vector<std::string> statusTexts;
    int lastProgress = -1;
    int progressMaximum = -1;
    bool timerEnabled = true;
};

}  // namespace quelvar::exchange

// Devices that lose answers, answer for other addresses or with other commands' codes, flood
// the link with status reports or send random bytes. Reads succeed or fail as the retry rules
// say, parameter reads give the device's value or nothing, and nothing reaches the device or
// the grids that was not meant for them. Every fault is seeded and repeatable.

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "exchange/DeviceExchange.h"
#include "exchange/EventTables.h"
#include "link/ConnHIDCOM.h"
#include "settings/AlarmTableImage.h"
#include "settings/Catalogue.h"
#include "settings/InputTableImage.h"
#include "sim/SimDevice.h"
#include "sim/SimulatedCommunicator.h"
#include "support/Faults.h"
#include "support/WaitFor.h"

namespace quelvar::exchange {
namespace {

using namespace std::chrono_literals;
using link::Report;
using settings::TableId;
using test::Chosen;
using test::StrayReports;

sim::SimulatedCommunicator::Options Seeded(std::uint32_t seed) {
    sim::SimulatedCommunicator::Options options;
    options.seed = seed;
    return options;
}

// The retry rule of a memory read, on its own: every block is asked for until it comes, and
// the eleventh failed request of the call ends it with false.
struct ReadRuleOutcome {
    bool ok = true;
    std::vector<std::uint32_t> addresses;  // in the order they are asked for
};

ReadRuleOutcome ReadRule(const std::set<std::size_t>& failing, std::size_t firstNumber,
                         std::uint32_t start, std::size_t length) {
    ReadRuleOutcome outcome;
    int failures = 0;
    std::size_t number = firstNumber;
    for (std::uint32_t a = start; a < start + length; ++number) {
        outcome.addresses.push_back(a);
        if (failing.count(number) == 0) {
            a += link::kBlockSize;
        } else if (++failures > kMaxReadFailures) {
            outcome.ok = false;
            return outcome;
        }
    }
    return outcome;
}

std::vector<std::uint32_t> Addresses(const std::vector<sim::RecordedCommand>& commands) {
    std::vector<std::uint32_t> addresses;
    for (const auto& command : commands) {
        addresses.push_back(command.address);
    }
    return addresses;
}

std::vector<std::uint32_t> Addresses(const std::vector<Report>& commands) {
    std::vector<std::uint32_t> addresses;
    for (const Report& command : commands) {
        addresses.push_back(link::ReadLe32(&command[link::kAddressOffset]));
    }
    return addresses;
}

std::vector<std::string> DataCells(const settings::StringGrid& grid) {
    std::vector<std::string> cells;
    for (int row = 1; row < grid.RowCount(); ++row) {
        for (int col = 1; col < grid.ColCount(); ++col) {
            cells.push_back(grid.Cell(col, row));
        }
    }
    return cells;
}

class FaultyDevice : public ::testing::Test {
  protected:
    // A lost answer costs the whole wait, so the tests wait briefly; answers come at once.
    void Attach(std::chrono::milliseconds ackTimeout = 30ms) {
        connection.SetAckTimeout(ackTimeout);
        ASSERT_TRUE(connection.Open());
        ASSERT_TRUE(test::WaitFor([&] { return connection.IsAttached(); }));
    }

    // The device answers the chosen read requests as if asked for the following block.
    void AnswerForAnotherAddress(std::set<std::size_t> numbers) {
        platform.alter = [numbers = std::move(numbers)](std::size_t number, Report& command) {
            if (command[1] == link::kReadBlock && numbers.count(number) > 0) {
                link::WriteLe32(&command[link::kAddressOffset],
                                link::ReadLe32(&command[link::kAddressOffset]) + 32);
            }
        };
    }

    sim::SimulatedCommunicator device{Seeded(5)};
    StrayReports platform{device};
    link::ConnHIDCOM connection{platform};
    DeviceExchange exchange{connection};
};

TEST_F(FaultyDevice, LostAnswersLeaveParameterReadsEmptyNeverWrong) {
    // Long enough that no answer comes after its wait, even on a loaded machine.
    Attach(100ms);
    device.SetDropRate(0.05);
    const sim::SimDevice fresh;
    int lost = 0;
    int read = 0;
    for (int round = 0; round < 10; ++round) {
        for (const auto& [key, value] : fresh.Parameters()) {
            const std::optional<std::string> got = exchange.TryGetParameter(key);
            if (got) {
                ASSERT_EQ(*got, value) << key << " in round " << round;
                ++read;
            } else {
                ++lost;
            }
        }
    }
    EXPECT_GT(lost, 0);
    EXPECT_GT(read, 150);
}

TEST_F(FaultyDevice, AnAnswerTooLateForItsRequestIsNotTakenForTheNext) {
    // Each answer comes after its request gave up, in the middle of the next request's wait.
    device.SetTiming({std::chrono::microseconds(45000), {}});
    Attach(30ms);
    const sim::SimDevice fresh;
    for (const auto& [key, value] : fresh.Parameters()) {
        const std::optional<std::string> got = exchange.TryGetParameter(key);
        EXPECT_TRUE(!got || *got == value) << key << " read as " << *got;
    }
}

TEST_F(FaultyDevice, MemoryReadsUnderLostAnswersRetryInPlaceWithinTheBudget) {
    Attach();
    device.SetDropRate(0.05);
    for (std::size_t length : {std::size_t{4096}, std::size_t{8192}}) {
        device.ClearCommands();
        std::vector<std::uint8_t> buffer(length, 0xAA);
        const bool ok = exchange.ReadMemory(buffer.data(), 0x30000, length);
        // Each request asks for the block after the last one received, or again for the same.
        const std::vector<std::uint32_t> asked = Addresses(device.Commands());
        std::size_t repeats = 0;
        for (std::size_t i = 1; i < asked.size(); ++i) {
            ASSERT_TRUE(asked[i] == asked[i - 1] || asked[i] == asked[i - 1] + 32) << i;
            repeats += asked[i] == asked[i - 1] ? 1 : 0;
        }
        if (ok) {
            EXPECT_LE(repeats, std::size_t(kMaxReadFailures));
            EXPECT_EQ(asked.back(), 0x30000 + length - 32);
            EXPECT_EQ(buffer, device.ReadMemory(0x30000, length));
        } else {
            // The eleventh failure was the last request, so it has no repeat of its own.
            EXPECT_EQ(repeats, std::size_t(kMaxReadFailures));
        }
    }
}

TEST_F(FaultyDevice, MemoryReadsFollowTheRetryRuleExactly) {
    Attach();
    const std::vector<std::uint8_t> held = device.ReadMemory(0x30000, 8192);
    int succeeded = 0;
    int failed = 0;
    for (std::uint32_t seed = 1; seed <= 8; ++seed) {
        const std::size_t length = seed % 2 == 0 ? 8192 : 4096;
        const std::set<std::size_t> wrong = Chosen(seed, 5, 600);
        const ReadRuleOutcome expected = ReadRule(wrong, 1, 0x30000, length);
        platform.Renumber();
        AnswerForAnotherAddress(wrong);
        std::vector<std::uint8_t> buffer(length, 0xAA);
        EXPECT_EQ(exchange.ReadMemory(buffer.data(), 0x30000, length), expected.ok) << seed;
        EXPECT_EQ(Addresses(platform.written), expected.addresses) << seed;
        if (expected.ok) {
            EXPECT_EQ(buffer, std::vector<std::uint8_t>(held.begin(), held.begin() + length));
        }
        (expected.ok ? succeeded : failed) += 1;
    }
    EXPECT_GT(succeeded, 0);
    EXPECT_GT(failed, 0);
}

TEST_F(FaultyDevice, EventTableReadsStartAgainUpToFiveTimes) {
    Attach();
    // The whole reads one after another, each with a failure count of its own; 0 when all fail.
    auto wholeReads = [](const std::set<std::size_t>& wrong, std::vector<std::uint32_t>& asked) {
        std::size_t number = 1;
        for (int read = 1; read <= kMaxEventTableReads; ++read) {
            const ReadRuleOutcome outcome = ReadRule(wrong, number, 0x30000, 8192);
            asked.insert(asked.end(), outcome.addresses.begin(), outcome.addresses.end());
            number += outcome.addresses.size();
            if (outcome.ok) {
                return read;
            }
        }
        return 0;
    };
    // The first seeds whose failures end in a read after a retry, and in giving up.
    std::set<std::size_t> readAfterRetry;
    std::set<std::size_t> givesUp;
    for (std::uint32_t seed = 1; readAfterRetry.empty() || givesUp.empty(); ++seed) {
        ASSERT_LT(seed, 1000u);
        const std::set<std::size_t> wrong = Chosen(seed, 5, 3000);
        std::vector<std::uint32_t> asked;
        const int reads = wholeReads(wrong, asked);
        if (reads >= 2 && readAfterRetry.empty()) {
            readAfterRetry = wrong;
        } else if (reads == 0 && givesUp.empty()) {
            givesUp = wrong;
        }
    }

    settings::StringGrid clean(14, 33, 1, 1);
    settings::FillAlarmGrid(clean, device.ReadMemory(0x30000, 8192));
    for (const std::set<std::size_t>& wrong : {readAfterRetry, givesUp}) {
        std::vector<std::uint32_t> asked;
        const bool reads = wholeReads(wrong, asked) != 0;
        platform.Renumber();
        AnswerForAnotherAddress(wrong);
        settings::StringGrid grid(14, 33, 1, 1);
        grid.SetCell(9, 32, "kept");
        EXPECT_EQ(ReadEventTable(exchange, settings::kAlarmTable, grid),
                  reads ? EventReadOutcome::kRead : EventReadOutcome::kFailed);
        EXPECT_EQ(Addresses(platform.written), asked);
        if (reads) {
            EXPECT_EQ(DataCells(grid), DataCells(clean));
        } else {
            EXPECT_EQ(grid.Cell(9, 32), "kept");
            EXPECT_EQ(grid.Cell(1, 1), "");
        }
    }
}

TEST_F(FaultyDevice, AnswersWithOtherCommandsCodesDoNotEndAWait) {
    // Each write takes 2 ms and each answer 5 ms more: a stray acknowledgement that ended a
    // wait would leave every answer from then on to be taken for the next command's.
    device.SetTiming({std::chrono::microseconds(5000), {}});
    platform.writeTime = std::chrono::microseconds(2000);
    Attach(500ms);
    platform.before = [](std::size_t number, const Report& command) -> std::vector<Report> {
        if (number % 3 != 0) {
            return {};
        }
        Report stray{};
        stray[2] = command[1] == link::kSetParameter ? link::kEraseSector : link::kSetParameter;
        if (command[1] == link::kGetParameter && number % 2 == 0) {
            stray[2] = link::kReadBlock;
            link::WriteLe32(&stray[link::kAddressOffset], 0x31000);
        }
        return {stray};
    };
    settings::SettingsModel model;
    for (const settings::CatalogueTable& table : settings::AllTables()) {
        settings::TTableRule& rule = model.Rule(table.id);
        exchange.ReadTableFromDevice(rule);
        rule.ForEachRow([&](const std::string& caption, const std::string& key) {
            EXPECT_EQ(rule.GetValue(caption), device.Parameter(key)) << key;
        });
    }
    std::vector<std::uint8_t> buffer(2048);
    EXPECT_TRUE(exchange.ReadMemory(buffer.data(), 0x32000, buffer.size()));
    EXPECT_EQ(buffer, device.ReadMemory(0x32000, buffer.size()));

    model.Grid(TableId::kSimCard).SetCell(1, 0, "4321");
    for (const settings::CatalogueTable& table : settings::AllTables()) {
        exchange.WriteTableToDevice(model.Rule(table.id));
    }
    EXPECT_EQ(device.Parameter("SIMPIN"), "4321");
    EXPECT_TRUE(exchange.Unanswered().Clean());
}

TEST_F(FaultyDevice, FloodOfStatusReportsDuringAReadLeavesItWholeAndTheQueueBounded) {
    Attach(link::kDefaultAckTimeout);
    // 10,000 reports arrive ahead of the answers to two of the read's requests.
    platform.before = [](std::size_t number, const Report&) {
        std::vector<Report> flood;
        if (number == 10 || number == 200) {
            for (int i = 0; i < 5000; ++i) {
                const int n = static_cast<int>(number) * 10000 + i;
                flood.push_back(i % 2 == 0 ? sim::TextReport(206, "E130 " + std::to_string(n))
                                           : sim::TextReport(200, std::to_string(i % 32)));
            }
        }
        return flood;
    };
    settings::StringGrid grid(14, 33, 1, 1);
    ASSERT_EQ(ReadEventTable(exchange, settings::kAlarmTable, grid), EventReadOutcome::kRead);
    settings::StringGrid clean(14, 33, 1, 1);
    settings::FillAlarmGrid(clean, device.ReadMemory(0x30000, 8192));
    EXPECT_EQ(DataCells(grid), DataCells(clean));

    EXPECT_EQ(connection.Snapshot().gsmSignal, std::to_string(4999 % 32));
    const link::ConnHIDCOM::LockGuard lock(connection);
    std::vector<std::string> waiting;
    for (std::string line = connection.TakeEvent(); line != link::kNoEvent;
         line = connection.TakeEvent()) {
        waiting.push_back(line);
    }
    ASSERT_EQ(waiting.size(), link::kEventQueueSlots - 1);
    EXPECT_EQ(waiting.back(), "E130 " + std::to_string(200 * 10000 + 4998));
}

TEST_F(FaultyDevice, RandomReportsChangeNothingButWhatIsSent) {
    Attach();
    // Random bytes ahead of about one command in four.
    std::mt19937 random(77);
    platform.before = [&](std::size_t, const Report&) {
        std::vector<Report> strays;
        if (random() % 4 == 0) {
            for (std::uint32_t n = 1 + random() % 3; n > 0; --n) {
                strays.push_back(test::RandomReport(random));
            }
        }
        return strays;
    };

    settings::SettingsModel sent;
    const std::pair<TableId, const char*> values[] = {
        {TableId::kSimCard, "9876"},        {TableId::kPhoneNumbers, "+3611"},
        {TableId::kSmsForwarding, "+3622"}, {TableId::kZ1Settings, "NC"},
        {TableId::kZ2Settings, "NO"},       {TableId::kMonitoring, "ABCD"},
    };
    for (const auto& [id, value] : values) {
        sent.Grid(id).SetCell(1, sent.Grid(id).FixedRows(), value);
    }
    sent.AlarmGrid().SetCell(1, 3, "401");
    sent.AlarmGrid().SetCell(9, 3, "Nyit\xE1s");
    sent.AlarmGrid().SetCell(13, 32, "X");
    sent.InputGrid().SetCell(5, 4, "Z2 ok");
    sent.InputGrid().SetCell(2, 4, "X");
    std::map<std::string, std::string> expected = device.Parameters();
    for (const settings::CatalogueTable& table : settings::AllTables()) {
        settings::TTableRule& rule = sent.Rule(table.id);
        exchange.WriteTableToDevice(rule);
        rule.ForEachRow([&](const std::string& caption, const std::string& key) {
            expected[key] = rule.GetValue(caption);
        });
    }
    WriteEventTable(exchange, settings::kAlarmTable, sent.AlarmGrid());
    WriteEventTable(exchange, settings::kInputTable, sent.InputGrid());
    EXPECT_EQ(device.Parameters(), expected);
    EXPECT_EQ(device.ReadMemory(0x30000, 8192), settings::BuildAlarmTableImage(sent.AlarmGrid()));
    EXPECT_EQ(device.ReadMemory(0x32000, 4096), settings::BuildInputTableImage(sent.InputGrid()));

    settings::SettingsModel read;
    for (const settings::CatalogueTable& table : settings::AllTables()) {
        exchange.ReadTableFromDevice(read.Rule(table.id));
        EXPECT_EQ(DataCells(read.Grid(table.id)), DataCells(sent.Grid(table.id)));
    }
    EXPECT_EQ(ReadEventTable(exchange, settings::kAlarmTable, read.AlarmGrid()),
              EventReadOutcome::kRead);
    EXPECT_EQ(ReadEventTable(exchange, settings::kInputTable, read.InputGrid()),
              EventReadOutcome::kRead);
    EXPECT_EQ(DataCells(read.AlarmGrid()), DataCells(sent.AlarmGrid()));
    EXPECT_EQ(DataCells(read.InputGrid()), DataCells(sent.InputGrid()));
}

}  // namespace
}  // namespace quelvar::exchange

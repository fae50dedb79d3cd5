// The device sequences the command line runs, against the simulator in process, where faults
// can be injected.

#include "exchange/DeviceSession.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "exchange/ExchangeFixture.h"
#include "settings/AlarmTableImage.h"
#include "settings/InputTableImage.h"

namespace quelvar::exchange {
namespace {

using namespace std::chrono_literals;
using Keys = std::vector<std::string>;

class DeviceSessionTest : public ExchangeFixture {
  protected:
    // Keys of the parameter requests with the given code, in order; "*" stands for each run of
    // memory requests between them.
    Keys Sequence(std::uint8_t parameterCode) const {
        Keys keys;
        for (const sim::RecordedCommand& command : sim.Commands()) {
            if (command.code == parameterCode) {
                keys.push_back(command.text.substr(0, command.text.find('=')));
            } else if (command.code <= link::kReadBlock && (keys.empty() || keys.back() != "*")) {
                keys.push_back("*");
            }
        }
        return keys;
    }
};

TEST_F(DeviceSessionTest, ReadsAndWritesInTheWindowsOrder) {
    Attach();
    settings::SettingsModel model;
    DeviceSession session(exchange);
    const ReadAllResult read = session.ReadEverything(model);
    EXPECT_TRUE(read.Complete());
    EXPECT_EQ(Sequence(link::kGetParameter),
              (Keys{"SIMPIN", "IN1T", "IN1S", "IN2T", "IN2S", "MS1", "Z1CID", "Z2CID", "ACCID",
                    "UPHN1", "UPHN2", "UPHN3", "UPHN4", "SFWN", "SMODE", "GACK", "*", "VSTR"}));
    EXPECT_EQ(read.modeIndex, kStandaloneMode);
    EXPECT_EQ(read.ackMask, "1000");
    EXPECT_EQ(model.Grid(settings::TableId::kPhoneNumbers).Cell(settings::kAckColumn, 1), "X");
    EXPECT_EQ(model.Grid(settings::TableId::kPhoneNumbers).Cell(settings::kAckColumn, 2), "");
    EXPECT_EQ(*read.firmwareVersion, "2.14");

    sim.ClearCommands();
    const UnansweredTally tally = session.WriteEverything(model, kTransparentMode, "0101");
    EXPECT_TRUE(tally.Clean());
    EXPECT_EQ(Sequence(link::kSetParameter),
              (Keys{"SIMPIN", "UPHN1", "UPHN2", "UPHN3", "UPHN4", "SFWN", "IN1T", "IN1S", "IN2T",
                    "IN2S", "MS1", "Z1CID", "Z2CID", "ACCID", "GACK", "SMODE", "*"}));
    EXPECT_EQ(sim.Parameter("GACK"), "0101");
    EXPECT_EQ(sim.Parameter("SMODE"), "Transparent");

    // Transparent mode shows no phone numbers, so no acknowledgement marks are read.
    sim.ClearCommands();
    const ReadAllResult transparent = session.ReadEverything(model);
    EXPECT_EQ(transparent.modeIndex, kTransparentMode);
    EXPECT_EQ(transparent.ackMask, "");
    const Keys keys = Sequence(link::kGetParameter);
    EXPECT_EQ(std::count(keys.begin(), keys.end(), "GACK"), 0);
}

TEST_F(DeviceSessionTest, GivesUpOnADeviceThatFallsSilentMidTransfer) {
    Attach();
    settings::SettingsModel model;
    {
        DeviceSession session(exchange, {}, 200ms);
        sim.IgnoreCommand(link::kWriteBlock);
        const auto start = std::chrono::steady_clock::now();
        const UnansweredTally tally = session.WriteEverything(model, kStandaloneMode, "0000");
        // Waiting out every block (256 of the alarm table alone) would take over seven seconds.
        EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
        EXPECT_EQ(session.Fault(), SessionFault::kSilent);
        EXPECT_EQ(session.FaultStage(), "Writing alarm table");
        EXPECT_GT(tally.memoryRequests, 0);
        for (const sim::RecordedCommand& command : CommandsWithCode(link::kEraseSector)) {
            EXPECT_LT(command.address, settings::kInputTableAddress) << "input table touched";
        }
        EXPECT_EQ(session.Get("VSTR"), std::nullopt);  // nothing more is sent
    }
    // The link's own patience comes back with the session's end.
    EXPECT_EQ(connection.AckTimeout(), 30ms);
}

TEST_F(DeviceSessionTest, StopsAtOnceWhenTheDeviceGoesAway) {
    Attach();
    settings::SettingsModel model;
    DeviceSession session(exchange, {}, 10s);
    sim.DisconnectAfter(40);
    const ReadAllResult read = session.ReadEverything(model);
    EXPECT_EQ(session.Fault(), SessionFault::kDetached);
    EXPECT_EQ(session.FaultStage(), "Reading alarm table");
    EXPECT_FALSE(read.Complete());
    EXPECT_FALSE(read.firmwareVersion);
}

TEST_F(DeviceSessionTest, OneLostAnswerIsNoFaultButIsReported) {
    Attach();
    settings::SettingsModel model;
    DeviceSession session(exchange, {}, 10s);
    sim.DropAnswersTo({2});
    const ReadAllResult read = session.ReadEverything(model);
    EXPECT_EQ(session.Fault(), SessionFault::kNone);
    EXPECT_EQ(read.unansweredKeys, Keys{"IN1T"});
    EXPECT_EQ(read.alarms, EventReadOutcome::kRead);
    EXPECT_FALSE(read.Complete());
}

// Silence is counted from the sending of the first command left unanswered, and any answer ends
// it: a pause before a command (a password being typed) and answers between two lost ones are
// no silence.
TEST_F(DeviceSessionTest, SilenceStartsAtTheLostCommandAndEndsWithAnAnswer) {
    Attach();
    DeviceSession session(exchange, {}, 200ms);
    sim.SetParameter("PW", "1252");
    const long long right = *EncodePassword("1234");
    int asked = 0;
    sim.DropAnswersTo({2});  // the read of "PW" after the first, wrong, entry
    const LogInOutcome outcome = session.LogIn([&](bool) -> std::optional<long long> {
        std::this_thread::sleep_for(300ms);
        return ++asked == 1 ? right + 1 : right;
    });
    EXPECT_EQ(outcome, LogInOutcome::kLoggedIn);
    EXPECT_EQ(session.Fault(), SessionFault::kNone);

    sim.DropNextAnswers(1);
    EXPECT_EQ(session.Get("VSTR"), std::nullopt);
    const auto answering = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - answering < 300ms) {
        ASSERT_TRUE(session.Get("VSTR").has_value());
        std::this_thread::sleep_for(20ms);
    }
    sim.DropNextAnswers(1);
    EXPECT_EQ(session.Get("VSTR"), std::nullopt);
    EXPECT_EQ(session.Fault(), SessionFault::kNone);
    EXPECT_TRUE(session.Get("VSTR").has_value());
}

// A bus whose writes fail from the first erase on, while its reader hears of the unplug only
// `lag` later, as a receiver blocked in its read does.
class LateUnplugBus : public link::HidPlatform {
  public:
    LateUnplugBus(sim::SimulatedCommunicator& device, std::chrono::milliseconds lag)
        : device_(device), lag_(lag) {}
    ~LateUnplugBus() override {
        if (unplugger_.joinable()) {
            unplugger_.join();
        }
    }
    std::vector<link::HidInterface> Enumerate() override { return device_.Enumerate(); }
    std::unique_ptr<link::HidReader> OpenReader(const std::string& path) override {
        return device_.OpenReader(path);
    }
    std::unique_ptr<link::HidWriter> OpenWriter(const std::string& path) override {
        auto inner = device_.OpenWriter(path);
        return inner ? std::make_unique<Writer>(*this, std::move(inner)) : nullptr;
    }
    std::atomic<int> writesAfterPull{0};

  private:
    class Writer : public link::HidWriter {
      public:
        Writer(LateUnplugBus& bus, std::unique_ptr<link::HidWriter> inner)
            : bus_(bus), inner_(std::move(inner)) {}
        bool Write(const link::Report& report) override {
            if (report[1] == link::kEraseSector && !bus_.unplugger_.joinable()) {
                bus_.unplugger_ = std::thread([this] {
                    std::this_thread::sleep_for(bus_.lag_);
                    bus_.device_.Unplug();
                });
            }
            if (bus_.unplugger_.joinable()) {
                ++bus_.writesAfterPull;
                return false;
            }
            return inner_->Write(report);
        }

      private:
        LateUnplugBus& bus_;
        std::unique_ptr<link::HidWriter> inner_;
    };

    sim::SimulatedCommunicator& device_;
    std::chrono::milliseconds lag_;
    std::thread unplugger_;
};

// A cable pulled as a table's first erase goes out: the report is not taken, and the receiver
// tells the unplug a moment later. The session names the cut there instead of sending the rest
// of the table into a dead handle.
TEST(DeviceSessionCut, APulledCableIsNamedAtTheWriteThatFoundIt) {
    sim::SimulatedCommunicator sim;
    LateUnplugBus bus(sim, std::chrono::milliseconds(50));
    link::ConnHIDCOM connection(bus);
    ASSERT_TRUE(connection.Open());
    ASSERT_TRUE(test::WaitFor([&] { return connection.IsAttached(); }));
    DeviceExchange exchange(connection);
    DeviceSession session(exchange);
    settings::SettingsModel model;
    session.WriteAlarmTable(model);
    session.WriteInputTable(model);
    EXPECT_EQ(session.Fault(), SessionFault::kDetached);
    EXPECT_EQ(session.FaultStage(), "Writing alarm table");
    EXPECT_EQ(bus.writesAfterPull, 1);
}

TEST_F(DeviceSessionTest, ProgressBracketsEveryStage) {
    Attach();
    settings::SettingsModel model;
    std::vector<std::string> events;
    int last = -1;
    DeviceSession::Progress progress{
        [&](const std::string& stage, int maximum) {
            events.push_back(stage + " " + std::to_string(maximum));
        },
        [&](int position) { last = position; },
        [&](const std::string&, bool complete) {
            events.push_back((complete ? "end at " : "cut at ") + std::to_string(last));
        },
        RecordingTransfer().progress};
    DeviceSession session(exchange, progress);
    session.ReadEverything(model);
    EXPECT_EQ(events, (Keys{"Reading settings 15", "end at 15", "Reading alarm table 8192",
                            "end at 8192", "Reading input table 4096", "end at 4096"}));
    // Block by block, each transfer ends at 0 as the progress bar is left.
    EXPECT_EQ(progressMaximum, static_cast<int>(settings::kInputTableLength));
    EXPECT_EQ(lastProgress, 0);
}

// Each way a log-in ends, with the asker the programs give it: how often it was asked says
// whether a wrong entry was asked again.
TEST_F(DeviceSessionTest, LogInEndsAsThePasswordAndTheAskerSay) {
    Attach();
    const long long right = *EncodePassword("1234");
    struct Case {
        const char* device;  // "PW" as the device holds it
        std::vector<std::optional<long long>> entries;
        LogInOutcome outcome;
        std::size_t asked;
    };
    const Case cases[] = {
        {"583920", {}, LogInOutcome::kLoggedIn, 0},
        {"1252", {right}, LogInOutcome::kLoggedIn, 1},
        {"1252", {right + 1, right}, LogInOutcome::kLoggedIn, 2},
        {"1252", {right + 1, std::nullopt}, LogInOutcome::kWrongPassword, 2},
        {"1252", {std::nullopt}, LogInOutcome::kCancelled, 1},
        {"12a4", {right}, LogInOutcome::kPasswordUnreadable, 0},
        {"", {right}, LogInOutcome::kPasswordOutOfReach, 0},
        {"17", {right}, LogInOutcome::kPasswordOutOfReach, 0},
        {"10018", {right}, LogInOutcome::kPasswordOutOfReach, 0},
        {"-5", {right}, LogInOutcome::kPasswordOutOfReach, 0},
        {"10017", {*EncodePassword("9999")}, LogInOutcome::kLoggedIn, 1},
        {"18", {*EncodePassword("0000")}, LogInOutcome::kLoggedIn, 1},
    };
    for (const Case& c : cases) {
        sim.SetParameter("PW", c.device);
        std::size_t asked = 0;
        DeviceSession session(exchange);
        const LogInOutcome outcome = session.LogIn([&](bool wrongBefore) {
            EXPECT_EQ(wrongBefore, asked > 0) << c.device;
            return asked < c.entries.size() ? c.entries[asked++] : std::nullopt;
        });
        EXPECT_EQ(outcome, c.outcome) << c.device << " " << asked;
        EXPECT_EQ(asked, c.asked) << c.device;
    }
    // A password request that goes unanswered: once without a silence limit, and until the
    // limit with one.
    sim.IgnoreCommand(link::kGetParameter);
    EXPECT_EQ(DeviceSession(exchange).LogIn({}), LogInOutcome::kUnanswered);
    sim.ClearCommands();
    DeviceSession limited(exchange, {}, 200ms);
    EXPECT_EQ(limited.LogIn({}), LogInOutcome::kFault);
    EXPECT_EQ(limited.Fault(), SessionFault::kSilent);
    EXPECT_GT(sim.CommandCount(), 2u) << "asked again while the device was silent";
}

TEST(DevicePassword, EncodesFourDigitsAndChecksTheDevicesValue) {
    EXPECT_EQ(EncodePassword("0000"), 18);
    EXPECT_EQ(EncodePassword("9999"), 10017);
    for (const char* bad : {"", "123", "12345", "12a4", " 123"}) {
        EXPECT_EQ(EncodePassword(bad), std::nullopt) << bad;
    }
    EXPECT_EQ(ParseDevicePassword(std::nullopt).kind, DevicePassword::Kind::kUnanswered);
    EXPECT_FALSE(ParseDevicePassword(std::nullopt).Accepts(18));
    EXPECT_TRUE(ParseDevicePassword("583920").Accepts(4339));
    const DevicePassword set = ParseDevicePassword("4339");
    EXPECT_TRUE(set.Accepts(*EncodePassword("4321")));
    EXPECT_FALSE(set.Accepts(*EncodePassword("4320")));
    // An empty value is 0, which no entry gives.
    EXPECT_FALSE(ParseDevicePassword("").Accepts(*EncodePassword("0000")));
    EXPECT_EQ(ParseDevicePassword("").kind, DevicePassword::Kind::kOutOfReach);
    EXPECT_EQ(ParseDevicePassword("12ab").kind, DevicePassword::Kind::kNotANumber);
    EXPECT_FALSE(ParseDevicePassword("12ab").Accepts(18));
}

}  // namespace
}  // namespace quelvar::exchange

// Plugging, timing and faults of the simulated communicator, seen through its HID handles.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <set>
#include <thread>

#include "sim/SimulatedCommunicator.h"
#include "support/Requests.h"

namespace quelvar::sim {
namespace {

using namespace std::chrono_literals;
using link::ReadStatus;
using link::Report;

Report Get(const std::string& key) {
    return test::GetRequest(key);
}

Report ReadBlock(std::uint32_t address) {
    Report r{};
    r[1] = link::kReadBlock;
    r[2] = 32;
    link::WriteLe32(&r[5], address);
    return r;
}

class SimulatedCommunicatorTest : public ::testing::Test {
  protected:
    void Open() {
        reader = sim.OpenReader(kSimPath);
        writer = sim.OpenWriter(kSimPath);
        ASSERT_TRUE(reader && writer);
    }

    SimulatedCommunicator sim;
    std::unique_ptr<link::HidReader> reader;
    std::unique_ptr<link::HidWriter> writer;
};

TEST_F(SimulatedCommunicatorTest, PresentsOneMatchingInterfaceWhilePlugged) {
    ASSERT_EQ(sim.Enumerate().size(), 1u);
    EXPECT_EQ(sim.Enumerate()[0].hardwareId, kSimHardwareId);
    EXPECT_EQ(sim.OpenReader("/dev/other"), nullptr);
    sim.Unplug();
    EXPECT_TRUE(sim.Enumerate().empty());
    EXPECT_EQ(sim.OpenReader(kSimPath), nullptr);
}

TEST_F(SimulatedCommunicatorTest, AnswersAndRecordsEveryCommandInOrder) {
    Open();
    ASSERT_TRUE(writer->Write(Get("VSTR")));
    ASSERT_TRUE(writer->Write(ReadBlock(0x30020)));
    Report report;
    ASSERT_EQ(reader->Read(report), ReadStatus::kReport);
    EXPECT_EQ(link::TextAt(report, 5), "VSTR=2.14");
    ASSERT_EQ(reader->Read(report), ReadStatus::kReport);
    EXPECT_EQ(report[2], link::kReadBlock);
    const auto commands = sim.Commands();
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0].text, "VSTR");
    EXPECT_EQ(commands[1].code, link::kReadBlock);
    EXPECT_EQ(commands[1].address, 0x30020u);
}

TEST_F(SimulatedCommunicatorTest, UnplugFailsOpenHandlesEvenAfterReplug) {
    Open();
    std::thread puller([&] {
        std::this_thread::sleep_for(20ms);
        sim.Unplug();
    });
    Report report;
    EXPECT_EQ(reader->Read(report), ReadStatus::kFailed);
    puller.join();
    EXPECT_FALSE(writer->Write(Get("PW")));
    sim.Plug();
    EXPECT_EQ(reader->Read(report), ReadStatus::kFailed);
    EXPECT_FALSE(writer->Write(Get("PW")));
    EXPECT_EQ(sim.OpenHandleCount(), 2);
    reader.reset();
    writer.reset();
    EXPECT_EQ(sim.OpenHandleCount(), 0);
    Open();
    EXPECT_TRUE(writer->Write(Get("PW")));
}

TEST_F(SimulatedCommunicatorTest, CancelEndsAPendingRead) {
    Open();
    std::thread canceller([&] {
        std::this_thread::sleep_for(20ms);
        reader->Cancel();
    });
    Report report;
    EXPECT_EQ(reader->Read(report), ReadStatus::kCancelled);
    canceller.join();
}

TEST_F(SimulatedCommunicatorTest, AnswersWaitForLatencyAndFrameBoundaries) {
    sim.SetTiming({1000us, 1000us});
    Open();
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(writer->Write(Get("PW")));
    Report report;
    ASSERT_EQ(reader->Read(report), ReadStatus::kReport);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 1000us);
    EXPECT_EQ(link::TextAt(report, 5), "PW=583920");
}

TEST_F(SimulatedCommunicatorTest, InjectedFaults) {
    Open();
    Report report;
    sim.SetWrongAddressReads(1);
    writer->Write(ReadBlock(0x30000));
    ASSERT_EQ(reader->Read(report), ReadStatus::kReport);
    EXPECT_EQ(link::ReadLe32(&report[5]), 0x30020u);

    sim.DropNextAnswers(2);
    writer->Write(Get("PW"));
    writer->Write(Get("PW"));
    writer->Write(Get("VSTR"));
    ASSERT_EQ(reader->Read(report), ReadStatus::kReport);
    EXPECT_EQ(link::TextAt(report, 5), "VSTR=2.14");

    sim.Flood(10000, 200, "5");
    for (int i = 0; i < 10000; ++i) {
        ASSERT_EQ(reader->Read(report), ReadStatus::kReport);
    }
    EXPECT_EQ(link::TextAt(report, 5), "5");

    sim.DisconnectAfter(2);
    EXPECT_TRUE(writer->Write(Get("PW")));
    EXPECT_TRUE(writer->Write(Get("PW")));  // taken, but the cable comes out before the answer
    EXPECT_FALSE(sim.IsPlugged());
    EXPECT_EQ(reader->Read(report), ReadStatus::kFailed);
}

TEST(SimulatedCommunicatorStatus, SendsStatusRoundsOnItsOwn) {
    SimulatedCommunicator::Options options;
    options.statusPeriod = 5ms;
    SimulatedCommunicator sim(options);
    auto reader = sim.OpenReader(kSimPath);
    std::set<int> codes;
    Report report;
    for (int i = 0; i < 80; ++i) {
        ASSERT_EQ(reader->Read(report), ReadStatus::kReport);
        codes.insert(report[2]);
        if (report[2] == 200) {
            const int signal = std::stoi(link::TextAt(report, 5));
            EXPECT_GE(signal, 10);
            EXPECT_LE(signal, 25);
        }
    }
    EXPECT_EQ(codes, (std::set<int>{200, 202, 203, 204, 205, 206}));
}

// What a simulator window sets: the next round reports it, a level out of range is clamped,
// and an event line too long for one report is cut rather than overrun it.
TEST(SimulatedCommunicatorStatus, RoundsReportTheTextsSetAndEventLinesAreSent) {
    SimulatedCommunicator::Options options;
    options.statusPeriod = 5ms;
    SimulatedCommunicator sim(options);
    SimulatedCommunicator::StatusTexts texts;
    texts.signal = 40;
    texts.line = "OFFHOOK";
    texts.input1 = "ALARM";
    sim.SetStatusTexts(texts);
    EXPECT_EQ(sim.GetStatusTexts().signal, 31);
    auto reader = sim.OpenReader(kSimPath);
    sim.SendEventLine(std::string(100, 'E'));
    std::map<int, std::string> latest;
    Report report;
    for (int i = 0; i < 12; ++i) {
        ASSERT_EQ(reader->Read(report), ReadStatus::kReport);
        latest[report[2]] = link::TextAt(report, 5);
    }
    EXPECT_EQ(latest[206], std::string(link::kMaxRequestText, 'E'));
    EXPECT_EQ(latest[200], "31");
    EXPECT_EQ(latest[202], "ALARM");
    EXPECT_EQ(latest[203], "IDLE");
    EXPECT_EQ(latest[205], "OFFHOOK");
}

}  // namespace
// A hung device: it answers the commands it was told to, then neither answers nor carries out
// any, though it records them, until it is told to answer again.
TEST_F(SimulatedCommunicatorTest, StopAnsweringAfterTheGivenCommandsUntilAnswerAgain) {
    Open();
    sim.StopAnswering(1);
    EXPECT_TRUE(sim.AnsweringStopped());
    ASSERT_TRUE(writer->Write(Get("PW")));
    Report set{};
    set[1] = link::kSetParameter;
    const std::string text = "SMODE=Transparent";
    std::copy(text.begin(), text.end(), set.begin() + link::kTextOffset);
    ASSERT_TRUE(writer->Write(set));
    sim.AnswerAgain();
    EXPECT_FALSE(sim.AnsweringStopped());
    ASSERT_TRUE(writer->Write(Get("VSTR")));
    Report report;
    ASSERT_EQ(reader->Read(report), ReadStatus::kReport);
    EXPECT_EQ(link::TextAt(report, 5).rfind("PW=", 0), 0u);
    ASSERT_EQ(reader->Read(report), ReadStatus::kReport);
    EXPECT_EQ(link::TextAt(report, 5), "VSTR=2.14");
    EXPECT_EQ(sim.Parameter("SMODE"), "Standalone");
    EXPECT_EQ(sim.CommandCount(), 3u);
}

void SetSilentAfter(const char* value) {
#ifdef _WIN32
    _putenv_s("QUELVAR_SIM_SILENT_AFTER", value);  // "" removes it
#else
    if (*value == '\0') {
        ::unsetenv("QUELVAR_SIM_SILENT_AFTER");
    } else {
        ::setenv("QUELVAR_SIM_SILENT_AFTER", value, 1);
    }
#endif
}

TEST(SimulatedCommunicatorEnvironment, SilentAfterTakesACountAndIgnoresAnythingElse) {
    const std::pair<const char*, bool> cases[] = {
        {"0", true}, {"25", true}, {"", false}, {"x", false}, {"-3", false}};
    for (const auto& [value, silenced] : cases) {
        SimulatedCommunicator sim;
        SetSilentAfter(value);
        sim.ApplyEnvironment();
        EXPECT_EQ(sim.AnsweringStopped(), silenced) << value;
    }
    SetSilentAfter("");
    SimulatedCommunicator sim;
    sim.ApplyEnvironment();
    EXPECT_FALSE(sim.AnsweringStopped());
}

}  // namespace quelvar::sim

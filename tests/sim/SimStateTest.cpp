// The simulator's state file, which carries a device from one run of the command line to the
// next.

#include "sim/SimState.h"
#include "sim/SimStateFile.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/SettingsFiles.h"

namespace quelvar::sim {
namespace {

TEST(SimState, AnyBytesSurviveTheFile) {
    SimulatedCommunicator sim;
    sim.SetParameter("UPHN1", std::string("a=b\\c\r\n\x01\xE9\xFF", 10));
    sim.SetParameter("K=ey", "");
    std::vector<std::uint8_t> block(link::kBlockSize);
    for (std::size_t i = 0; i < block.size(); ++i) {
        block[i] = static_cast<std::uint8_t>(i * 37);
    }
    sim.LoadMemory(kMemoryBase + kMemorySize - link::kBlockSize, block);
    const SimState state = CaptureState(sim);

    test::TempDir dir;
    ASSERT_EQ(WriteSimStateFile(dir.File("s"), state), "");
    const SimStateFileRead read = ReadSimStateFile(dir.File("s"));
    ASSERT_TRUE(read.state) << read.error;
    EXPECT_EQ(*read.state, state);
    // Only the state file itself is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path),
                            std::filesystem::directory_iterator()),
              1);

    SimulatedCommunicator other;
    RestoreState(other, *read.state);
    EXPECT_EQ(CaptureState(other), state);
}

TEST(SimState, RefusesWhatIsNoCompleteState) {
    const std::string good = FormatSimState(CaptureState(SimulatedCommunicator()));
    std::string error;
    EXPECT_TRUE(ParseSimState(good, &error)) << error;

    const std::size_t lastBlock = good.rfind("memory ");
    const std::string duplicated = good + good.substr(lastBlock);
    for (const std::string& bad :
         {std::string(), "quelvar-sim-state 2\n" + good.substr(good.find('\n') + 1),
          good.substr(0, lastBlock), duplicated, good + "param UPHN1=\\x4\n",
          good + "memory 30001 " + std::string(64, '0') + "\n", good + "noise\n"}) {
        EXPECT_FALSE(ParseSimState(bad, &error)) << bad.substr(0, 40);
        EXPECT_FALSE(error.empty());
    }
    EXPECT_TRUE(ReadSimStateFile("/nonexistent-folder/state").missing);
}

// The window program and the command line share one device through the file: a second run is
// refused while the first holds it, and meets what the first left once it has ended.
TEST(SimStateFile, OneRunAtATimeAndTheNextMeetsWhatItLeft) {
    test::TempDir dir;
    const std::string path = dir.File("device.state");
    bool inUse = false;
    SimulatedCommunicator first;
    {
        SimStateFile firstRun(path, first);
        ASSERT_EQ(firstRun.Load(std::chrono::milliseconds(0), inUse), "");
        first.SetParameter("PW", "4729");

        SimulatedCommunicator second;
        SimStateFile secondRun(path, second);
        bool gaveUp = false;
        EXPECT_NE(secondRun.Load(std::chrono::milliseconds(5000), inUse,
                                 [&] {
                                     gaveUp = true;
                                     return true;
                                 }),
                  "");
        EXPECT_TRUE(inUse);
        EXPECT_TRUE(gaveUp);  // asked, rather than waiting the whole time
        ASSERT_EQ(firstRun.Save(), "");
    }
    SimulatedCommunicator next;
    SimStateFile nextRun(path, next);
    ASSERT_EQ(nextRun.Load(std::chrono::milliseconds(0), inUse), "");
    EXPECT_EQ(next.Parameter("PW"), "4729");
}

#ifndef _WIN32
// A run that reaches the file through a link and one that names it directly share one device:
// the second is kept out as if both had named it alike.
TEST(SimStateFile, ALinkAndTheFileItNamesAreLockedAsOne) {
    test::TempDir dir;
    std::filesystem::create_directories(dir.path / "elsewhere");
    const std::string path = dir.File("elsewhere/device.state");
    std::filesystem::create_symlink(path, dir.File("link.state"));
    bool inUse = false;
    SimulatedCommunicator first;
    SimStateFile throughLink(dir.File("link.state"), first);
    ASSERT_EQ(throughLink.Load(std::chrono::milliseconds(0), inUse), "");
    SimulatedCommunicator second;
    SimStateFile direct(path, second);
    EXPECT_NE(direct.Load(std::chrono::milliseconds(0), inUse), "");
    EXPECT_TRUE(inUse);
    SimulatedCommunicator third;
    SimStateFile dotted(dir.File("elsewhere/../elsewhere/./device.state"), third);
    EXPECT_NE(dotted.Load(std::chrono::milliseconds(0), inUse), "");
    EXPECT_TRUE(inUse);
}
#endif

}  // namespace
}  // namespace quelvar::sim

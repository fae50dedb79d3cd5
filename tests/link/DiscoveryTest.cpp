// Which interface the link takes, and what a failed open leaves behind.

#include <gtest/gtest.h>

#include "link/HID.h"
#include "sim/SimulatedCommunicator.h"

namespace quelvar::link {
namespace {

// Stands in for a system with several HID interfaces; nothing can be opened.
class ListedInterfaces : public HidPlatform {
  public:
    explicit ListedInterfaces(std::vector<HidInterface> list) : list_(std::move(list)) {}
    std::vector<HidInterface> Enumerate() override { return list_; }
    std::unique_ptr<HidReader> OpenReader(const std::string&) override { return nullptr; }
    std::unique_ptr<HidWriter> OpenWriter(const std::string&) override { return nullptr; }

  private:
    std::vector<HidInterface> list_;
};

std::string FoundPath(std::vector<HidInterface> list) {
    ListedInterfaces platform(std::move(list));
    HID device(platform);
    return device.FindDevicePath() ? device.DevicePath() : "(none)";
}

TEST(Discovery, MatchesEitherProductInAnyLetterCase) {
    EXPECT_TRUE(MatchesCommunicator("HID\\VID_04D8&PID_003F"));
    EXPECT_TRUE(MatchesCommunicator("hid\\vid_04d8&pid_0061&rev_0100"));
    EXPECT_TRUE(MatchesCommunicator("USB\\Vid_04D8&Pid_003f"));
    EXPECT_FALSE(MatchesCommunicator("HID\\VID_04D8&PID_0040"));
    EXPECT_FALSE(MatchesCommunicator("HID\\VID_04D9&PID_003F"));
    EXPECT_FALSE(MatchesCommunicator(std::string("HID\\VID_04D8\0&PID_003F", 23)));
}

TEST(Discovery, FirstMatchingInterfaceWinsWhateverItsProduct) {
    EXPECT_EQ(FoundPath({{"kbd", "HID\\VID_046D&PID_C31C"},
                         {"second", "HID\\VID_04D8&PID_0061"},
                         {"third", "HID\\VID_04D8&PID_003F"}}),
              "second");
    EXPECT_EQ(FoundPath({{"other", "HID\\VID_04D8&PID_000A"}}), "(none)");
    EXPECT_EQ(FoundPath({}), "(none)");
}

TEST(Discovery, LooksAtNoMoreThan1024Interfaces) {
    std::vector<HidInterface> list(1024, {"x", "HID\\VID_1234&PID_0001"});
    list.push_back({"late", "HID\\VID_04D8&PID_003F"});
    EXPECT_EQ(FoundPath(list), "(none)");
    list[1023] = {"last", "HID\\VID_04D8&PID_003F"};
    EXPECT_EQ(FoundPath(list), "last");
}

TEST(Discovery, ListsEveryCommunicatorAmongTheFirst1024InterfacesInOrder) {
    std::vector<HidInterface> list = {{"kbd", "HID\\VID_046D&PID_C31C"},
                                      {"second", "HID\\VID_04D8&PID_0061"},
                                      {"other", "HID\\VID_04D8&PID_000A"},
                                      {"third", "hid\\vid_04d8&pid_003f"}};
    list.resize(1024, {"x", "HID\\VID_1234&PID_0001"});
    list.push_back({"late", "HID\\VID_04D8&PID_003F"});
    ListedInterfaces platform(list);
    const std::vector<DeviceInfo> found = ListCommunicators(platform);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].path, "second");
    EXPECT_EQ(found[0].hardwareId, "HID\\VID_04D8&PID_0061");
    EXPECT_EQ(found[1].path, "third");
}

// A device object made for one path takes that interface alone: not the first communicator,
// not an interface of that path that is no communicator.
TEST(Discovery, GivenPathIsTheOnlyOneTaken) {
    ListedInterfaces platform({{"first", "HID\\VID_04D8&PID_003F"},
                               {"kbd", "HID\\VID_046D&PID_C31C"},
                               {"second", "HID\\VID_04D8&PID_0061"}});
    HID second(platform, "second");
    ASSERT_TRUE(second.FindDevicePath());
    EXPECT_EQ(second.DevicePath(), "second");
    EXPECT_FALSE(HID(platform, "kbd").FindDevicePath());
    EXPECT_FALSE(HID(platform, "gone").FindDevicePath());
}

TEST(Discovery, FailedOpenLeavesNoHandleAndStaysDetached) {
    sim::SimulatedCommunicator sim;
    HID device(sim);
    sim.FailNextOpens(0, 1);
    EXPECT_FALSE(device.OpenDevice());
    EXPECT_FALSE(device.IsAttached());
    EXPECT_EQ(sim.OpenHandleCount(), 0);

    sim.FailNextOpens(1, 0);
    EXPECT_FALSE(device.OpenDevice());
    EXPECT_EQ(sim.OpenHandleCount(), 0);

    EXPECT_TRUE(device.OpenDevice());
    EXPECT_TRUE(device.IsAttached());
    EXPECT_EQ(sim.OpenHandleCount(), 2);
}

}  // namespace
}  // namespace quelvar::link

// Discovery on the Windows device-setup calls against a stand-in for the calls: the matching
// on hardware-ID texts, the index loop and its ends. Runs in every build.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "link/HID.h"
#include "link/WinHidDiscovery.h"

namespace quelvar::link {
namespace {

constexpr unsigned long kErrorInvalidData = 13;

struct FakeInterface {
    // The property of the interface's own device element as the system holds it: zero-ended
    // texts and one more zero; empty when it cannot be read.
    std::string hardwareId;
    std::string path;
    unsigned long enumError = 0;  // non-zero: enumerating this index fails with it
    bool detailFails = false;
    bool sizeQueryFails = false;  // the detail's size query fails with another error
};

// Device elements are told apart from interface elements by this offset.
constexpr unsigned long kDeviceElement = 1000;

// The pretend device-information set. Tests run one at a time, so a global does.
struct FakeSet {
    std::vector<FakeInterface> interfaces;
    bool cannotBeBuilt = false;
    bool neverEnds = false;  // past the list, enumeration fails, but not with the end
    unsigned long error = 0;
    int destroyed = 0;
    std::vector<unsigned long> enumerated;
    std::vector<unsigned long> detailed;     // indices whose path was fetched
    std::vector<unsigned long> detailSizes;  // the sizes asked for, then given
} fake;
int setToken;

std::string Ids(std::initializer_list<std::string> texts) {
    std::string all;
    for (const std::string& text : texts) {
        all += text + '\0';
    }
    return all + '\0';
}

unsigned long IndexOf(const WinSetupCalls::Element& element) {
    unsigned long index = 0;
    std::memcpy(&index, element.bytes, sizeof index);
    return index;
}

bool Fail(unsigned long error) {
    fake.error = error;
    return false;
}

bool Element(unsigned long index, WinSetupCalls::Element& element) {
    std::memcpy(element.bytes, &index, sizeof index);
    return true;
}

const WinSetupCalls& FakeCalls() {
    static const WinSetupCalls calls{
        []() -> WinSetupCalls::DeviceSet { return fake.cannotBeBuilt ? nullptr : &setToken; },
        [](WinSetupCalls::DeviceSet, unsigned long index, WinSetupCalls::Element& element) {
            fake.enumerated.push_back(index);
            if (index >= fake.interfaces.size()) {
                return Fail(fake.neverEnds ? kErrorInvalidData : kWinErrorNoMoreItems);
            }
            const unsigned long error = fake.interfaces[index].enumError;
            return error != 0 ? Fail(error) : Element(index, element);
        },
        [](WinSetupCalls::DeviceSet, WinSetupCalls::Element& element, unsigned char* buffer,
           unsigned long size, unsigned long* required) {
            // Only a device element (never an interface element) names a hardware ID.
            EXPECT_GE(IndexOf(element), kDeviceElement);
            const std::string& text =
                fake.interfaces.at(IndexOf(element) - kDeviceElement).hardwareId;
            *required = static_cast<unsigned long>(text.size());
            if (text.empty()) {
                return Fail(kErrorInvalidData);
            }
            if (buffer == nullptr || size < text.size()) {
                return Fail(kWinErrorInsufficientBuffer);
            }
            std::memcpy(buffer, text.data(), text.size());
            return true;
        },
        [](WinSetupCalls::DeviceSet, WinSetupCalls::Element& element, void* detail,
           unsigned long size, unsigned long* required, WinSetupCalls::Element* deviceInfo) {
            const FakeInterface& entry = fake.interfaces.at(IndexOf(element));
            *required = static_cast<unsigned long>(4 + entry.path.size() + 1);  // odd on purpose
            fake.detailSizes.push_back(detail == nullptr ? *required : size);
            if (detail == nullptr && entry.sizeQueryFails) {
                return Fail(kErrorInvalidData);
            }
            if (detail == nullptr || size < *required) {
                return Fail(kWinErrorInsufficientBuffer);
            }
            fake.detailed.push_back(IndexOf(element));
            if (deviceInfo != nullptr) {
                Element(IndexOf(element) + kDeviceElement, *deviceInfo);
            }
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(detail) % 4, 0u);
            std::memcpy(static_cast<char*>(detail) + kInterfaceDetailPathOffset, entry.path.c_str(),
                        entry.path.size() + 1);
            return entry.detailFails ? Fail(kErrorInvalidData) : true;
        },
        [](WinSetupCalls::DeviceSet set) {
            EXPECT_EQ(set, &setToken);
            ++fake.destroyed;
        },
        [] { return fake.error; }};
    return calls;
}

// The path discovery takes, or "" for none.
std::string Discover(std::vector<FakeInterface> interfaces) {
    fake = FakeSet{};
    fake.interfaces = std::move(interfaces);
    const std::vector<HidInterface> found = DiscoverCommunicator(FakeCalls());
    EXPECT_LE(found.size(), 1u);
    return found.empty() ? "" : found[0].path;
}

TEST(WinHidDiscovery, TakesTheFirstInterfaceWhoseHardwareIdNamesTheCommunicator) {
    const std::string keyboard = Ids({"HID\\VID_046D&PID_C31C&REV_4920", "HID\\VID_046D&PID_C31C"});
    const std::string id003f = Ids({"HID\\VID_04D8&PID_003F&REV_0002", "HID\\VID_04D8&PID_003F"});
    const std::string id0061 = Ids({"hid\\vid_04d8&pid_0061"});
    const struct {
        const char* what;
        std::vector<FakeInterface> interfaces;
        std::string found;
    } cases[] = {
        {"upper case", {{keyboard, "k"}, {id003f, "upper"}}, "upper"},
        {"lower case", {{keyboard, "k"}, {id0061, "lower"}}, "lower"},
        {"other products and vendors",
         {{Ids({"HID\\VID_04D8&PID_0062"}), "a"},
          {Ids({"HID\\VID_04D8&PID_003E"}), "b"},
          {Ids({"HID\\VID_04D9&PID_003F"}), "c"},
          {keyboard, "d"}},
         ""},
        {"first match, whichever product", {{id0061, "first"}, {id003f, "second"}}, "first"},
        {"first text of the property only",
         {{Ids({"HID\\VID_04D8&PID_0040", "HID\\VID_04D8&PID_003F"}), "a"}},
         ""},
        {"unreadable property passed over", {{"", "a"}, {id003f, "b"}}, "b"},
        {"other failure skips the index", {{id003f, "a", kErrorInvalidData}, {id003f, "b"}}, "b"},
        {"no more items ends the loop", {{keyboard, "a", kWinErrorNoMoreItems}, {id003f, "b"}}, ""},
        {"failed path tries the next match", {{id003f, "a", 0, true}, {id0061, "b"}}, "b"},
        {"failed size query skips the interface",
         {{id003f, "a", 0, false, true}, {id0061, "b"}},
         "b"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Discover(c.interfaces), c.found) << c.what;
        EXPECT_EQ(fake.destroyed, 1) << c.what;
        // Nothing is looked at after the one found.
        if (!c.found.empty()) {
            EXPECT_EQ(c.interfaces[fake.enumerated.back()].path, c.found) << c.what;
        }
    }
}

// Listing goes past the first communicator to the end of the list, with each one's own text,
// passing over the rest as the one-device discovery does.
TEST(WinHidDiscovery, ListsEveryCommunicatorInIndexOrder) {
    fake = FakeSet{};
    fake.interfaces = {{Ids({"HID\\VID_04D8&PID_0061"}), "first"},
                       {Ids({"HID\\VID_046D&PID_C31C"}), "keyboard"},
                       {Ids({"HID\\VID_04D8&PID_003F"}), "unreadable", 0, true},
                       {Ids({"HID\\VID_04D8&PID_003F&REV_0002"}), "second"}};
    const std::vector<HidInterface> found = DiscoverCommunicators(FakeCalls());
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].path, "first");
    EXPECT_EQ(found[0].hardwareId, "HID\\VID_04D8&PID_0061");
    EXPECT_EQ(found[1].path, "second");
    EXPECT_EQ(found[1].hardwareId, "HID\\VID_04D8&PID_003F&REV_0002");
    EXPECT_EQ(fake.enumerated.back(), 4u) << "up to the end of the list";
    EXPECT_EQ(fake.destroyed, 1);
}

// An unplugged communicator's device element stays in the list while its interface is gone:
// interface 0 (a mouse) must not be taken for the communicator of element 0.
TEST(WinHidDiscovery, TakesEachInterfacesOwnDeviceElementNotTheOneOfTheSameIndex) {
    const std::string mouse = Ids({"HID\\VID_0627&PID_0001"});
    const std::string communicator = Ids({"HID\\VID_04D8&PID_003F"});
    EXPECT_EQ(Discover({{mouse, "mouse"}}), "");
    EXPECT_EQ(Discover({{mouse, "mouse"}, {communicator, "communicator"}}), "communicator");
    EXPECT_EQ(fake.detailed, (std::vector<unsigned long>{0, 1}));
}

TEST(WinHidDiscovery, LooksAtIndices0To1023AtMost) {
    fake = FakeSet{};
    fake.neverEnds = true;
    EXPECT_TRUE(DiscoverCommunicator(FakeCalls()).empty());
    ASSERT_EQ(fake.enumerated.size(), 1024u);
    EXPECT_EQ(fake.enumerated.back(), 1023u);
    EXPECT_EQ(fake.destroyed, 1);

    fake = FakeSet{};
    fake.cannotBeBuilt = true;
    EXPECT_TRUE(DiscoverCommunicator(FakeCalls()).empty());
    EXPECT_TRUE(fake.enumerated.empty());
    EXPECT_EQ(fake.destroyed, 0);
}

TEST(WinHidDiscovery, PathIsFetchedSizeFirstIntoWholeWords) {
    const std::string path = "\\\\?\\hid#vid_04d8&pid_003f#7&2a1b&0&0000#{4d1e55b2}";
    EXPECT_EQ(Discover({{Ids({"HID\\VID_04D8&PID_003F"}), path}}), path);
    ASSERT_EQ(fake.detailSizes.size(), 2u);
    const unsigned long asked = fake.detailSizes[0];
    const unsigned long given = fake.detailSizes[1];
    EXPECT_EQ(given % 4, 0u);
    EXPECT_GE(given, asked);
    EXPECT_LT(given, asked + 4);
}

}  // namespace
}  // namespace quelvar::link

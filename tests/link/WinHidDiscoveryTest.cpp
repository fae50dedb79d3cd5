// Discovery on the Windows device-setup calls against a stand-in for the calls:
// the matching on hardware-ID texts, the index loop and its ends. Runs in every build.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "link/HID.h"
#include "link/WinHidDiscovery.h"

namespace quelvar::link {
namespace {

constexpr unsigned long kErrorInvalidData = 13;

// One interface of the pretend device-information set, at the index of its place in the list.
struct FakeInterface {
    // The hardware-ID property as the system holds it: zero-ended texts, one more zero at the
    // end. nullopt: the property cannot be read.
    std::optional<std::string> hardwareId;
    std::string path;
    unsigned long enumError = 0;  // non-zero: enumerating this interface fails with it
    bool deviceInfoFails = false;
    bool detailFails = false;
};

// Tests run one at a time, so plain globals do.
struct FakeSet {
    std::vector<FakeInterface> interfaces;
    bool cannotBeBuilt = false;
    bool neverEnds = false;  // past the list, enumeration fails with another error than the end
    unsigned long error = 0;
    int destroyed = 0;
    std::vector<unsigned long> enumeratedIndices;
    std::vector<unsigned long> detailIndices;  // detail fetched (with a buffer) for these
    std::vector<unsigned long> detailBufferSizes;
    std::vector<unsigned long> detailRequired;
    int propertySizeQueries = 0;
    int propertyReads = 0;
};
FakeSet fake;
int setToken;

std::string MultiText(std::initializer_list<std::string> texts) {
    std::string all;
    for (const std::string& text : texts) {
        all += text;
        all += '\0';
    }
    return all + '\0';
}

void PutIndex(WinSetupCalls::Element& element, unsigned long index) {
    std::memcpy(element.bytes, &index, sizeof index);
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

const WinSetupCalls& FakeCalls() {
    static const WinSetupCalls calls{
        []() -> WinSetupCalls::DeviceSet { return fake.cannotBeBuilt ? nullptr : &setToken; },
        [](WinSetupCalls::DeviceSet set, unsigned long index, WinSetupCalls::Element& element) {
            EXPECT_EQ(set, &setToken);
            fake.enumeratedIndices.push_back(index);
            if (index >= fake.interfaces.size()) {
                return Fail(fake.neverEnds ? kErrorInvalidData : kWinErrorNoMoreItems);
            }
            if (fake.interfaces[index].enumError != 0) {
                return Fail(fake.interfaces[index].enumError);
            }
            PutIndex(element, index);
            return true;
        },
        [](WinSetupCalls::DeviceSet, unsigned long index, WinSetupCalls::Element& element) {
            if (index >= fake.interfaces.size() || fake.interfaces[index].deviceInfoFails) {
                return Fail(kWinErrorNoMoreItems);
            }
            PutIndex(element, index);
            return true;
        },
        [](WinSetupCalls::DeviceSet, WinSetupCalls::Element& element, unsigned char* buffer,
           unsigned long size, unsigned long* required) {
            const FakeInterface& entry = fake.interfaces.at(IndexOf(element));
            if (!entry.hardwareId) {
                return Fail(kErrorInvalidData);
            }
            const std::string& text = *entry.hardwareId;
            *required = static_cast<unsigned long>(text.size());
            if (buffer == nullptr) {
                ++fake.propertySizeQueries;
                return Fail(kWinErrorInsufficientBuffer);
            }
            ++fake.propertyReads;
            if (size < text.size()) {
                return Fail(kWinErrorInsufficientBuffer);
            }
            std::memcpy(buffer, text.data(), text.size());
            return true;
        },
        [](WinSetupCalls::DeviceSet, WinSetupCalls::Element& element, void* detail,
           unsigned long size, unsigned long* required) {
            const unsigned long index = IndexOf(element);
            const FakeInterface& entry = fake.interfaces.at(index);
            // The size field, then the path and its zero; an odd total on purpose.
            *required =
                static_cast<unsigned long>(kInterfaceDetailPathOffset + entry.path.size() + 1);
            if (detail == nullptr) {
                fake.detailRequired.push_back(*required);
                return Fail(kWinErrorInsufficientBuffer);
            }
            fake.detailIndices.push_back(index);
            fake.detailBufferSizes.push_back(size);
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(detail) % 4, 0u);
            if (entry.detailFails || size < *required) {
                return Fail(kErrorInvalidData);
            }
            std::memset(detail, 0x55, size);
            std::memcpy(static_cast<char*>(detail) + kInterfaceDetailPathOffset, entry.path.c_str(),
                        entry.path.size() + 1);
            return true;
        },
        [](WinSetupCalls::DeviceSet set) {
            EXPECT_EQ(set, &setToken);
            ++fake.destroyed;
        },
        [] { return fake.error; }};
    return calls;
}

class WinHidDiscoveryTest : public ::testing::Test {
  protected:
    void SetUp() override { fake = FakeSet{}; }

    // The path discovery takes, or "" when it finds nothing.
    std::string Discover() {
        const std::vector<HidInterface> found = DiscoverCommunicator(FakeCalls());
        EXPECT_LE(found.size(), 1u);
        return found.empty() ? std::string() : found[0].path;
    }
};

const std::string kKeyboard =
    MultiText({"HID\\VID_046D&PID_C31C&REV_4920", "HID\\VID_046D&PID_C31C"});

TEST_F(WinHidDiscoveryTest, HardwareIdsMatchInUpperAndLowerCase) {
    fake.interfaces = {{kKeyboard, "\\\\?\\hid#keyboard"},
                       {MultiText({"HID\\VID_04D8&PID_003F&REV_0002"}), "\\\\?\\hid#upper"}};
    EXPECT_EQ(Discover(), "\\\\?\\hid#upper");

    fake = FakeSet{};
    fake.interfaces = {{kKeyboard, "\\\\?\\hid#keyboard"},
                       {MultiText({"hid\\vid_04d8&pid_0061"}), "\\\\?\\hid#lower"}};
    EXPECT_EQ(Discover(), "\\\\?\\hid#lower");

    fake = FakeSet{};
    fake.interfaces = {{MultiText({"HID\\Vid_04D8&Pid_003f"}), "\\\\?\\hid#mixed"}};
    EXPECT_EQ(Discover(), "\\\\?\\hid#mixed");
}

TEST_F(WinHidDiscoveryTest, OtherProductsOfTheVendorAndOtherVendorsAreIgnored) {
    fake.interfaces = {{MultiText({"HID\\VID_04D8&PID_0062"}), "a"},
                       {MultiText({"HID\\VID_04D8&PID_003E"}), "b"},
                       {MultiText({"HID\\VID_04D9&PID_003F"}), "c"},
                       {MultiText({"HID\\VID_04D8&PID_0610"}), "d"},
                       {kKeyboard, "e"}};
    EXPECT_EQ(Discover(), "");
    // The interface path is fetched for a match only.
    EXPECT_TRUE(fake.detailRequired.empty());
    EXPECT_EQ(fake.enumeratedIndices.size(), 6u);  // five and the one that ends the list
    EXPECT_EQ(fake.destroyed, 1);
}

TEST_F(WinHidDiscoveryTest, FirstMatchInEnumerationOrderWinsWhicheverProductItIs) {
    fake.interfaces = {{kKeyboard, "keyboard"},
                       {MultiText({"HID\\VID_04D8&PID_0061"}), "first-0061"},
                       {MultiText({"HID\\VID_04D8&PID_003F"}), "second-003f"}};
    const std::vector<HidInterface> found = DiscoverCommunicator(FakeCalls());
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].path, "first-0061");
    EXPECT_EQ(found[0].hardwareId, "HID\\VID_04D8&PID_0061");
    // Discovery ends with the first match: index 2 is never looked at.
    EXPECT_EQ(fake.enumeratedIndices, (std::vector<unsigned long>{0, 1}));
    EXPECT_EQ(fake.detailIndices, (std::vector<unsigned long>{1}));
    EXPECT_EQ(fake.destroyed, 1);

    // The HID object takes the same one when the platform lists it.
    EXPECT_TRUE(MatchesCommunicator(found[0].hardwareId));
}

TEST_F(WinHidDiscoveryTest, OnlyTheFirstTextOfTheHardwareIdCounts) {
    // The property lists several texts; discovery reads up to the first zero byte.
    fake.interfaces = {{MultiText({"HID\\VID_04D8&PID_0040", "HID\\VID_04D8&PID_003F"}), "a"}};
    EXPECT_EQ(Discover(), "");
    EXPECT_EQ(fake.propertySizeQueries, 1);
    EXPECT_EQ(fake.propertyReads, 1);
}

TEST_F(WinHidDiscoveryTest, NoMoreItemsEndsTheLoopAndAnotherFailureSkipsTheIndex) {
    fake.interfaces = {{kKeyboard, "k", kErrorInvalidData},
                       {MultiText({"HID\\VID_04D8&PID_003F"}), "after-a-skip"}};
    EXPECT_EQ(Discover(), "after-a-skip");

    fake = FakeSet{};
    fake.interfaces = {{kKeyboard, "k", kWinErrorNoMoreItems},
                       {MultiText({"HID\\VID_04D8&PID_003F"}), "never-reached"}};
    EXPECT_EQ(Discover(), "");
    EXPECT_EQ(fake.enumeratedIndices, (std::vector<unsigned long>{0}));
    EXPECT_EQ(fake.destroyed, 1);
}

TEST_F(WinHidDiscoveryTest, AtMostIndices0To1023AreTried) {
    fake.interfaces.assign(3, FakeInterface{kKeyboard, "k"});
    fake.neverEnds = true;  // every index past the list fails, but never with the end
    EXPECT_EQ(Discover(), "");
    ASSERT_EQ(fake.enumeratedIndices.size(), 1024u);
    EXPECT_EQ(fake.enumeratedIndices.front(), 0u);
    EXPECT_EQ(fake.enumeratedIndices.back(), 1023u);
    EXPECT_EQ(fake.destroyed, 1);
}

TEST_F(WinHidDiscoveryTest, ASetThatCannotBeBuiltFindsNothingAndDestroysNothing) {
    fake.cannotBeBuilt = true;
    fake.interfaces = {{MultiText({"HID\\VID_04D8&PID_003F"}), "p"}};
    EXPECT_EQ(Discover(), "");
    EXPECT_TRUE(fake.enumeratedIndices.empty());
    EXPECT_EQ(fake.destroyed, 0);
}

TEST_F(WinHidDiscoveryTest, AnInterfaceWhoseDeviceOrPropertyCannotBeReadIsPassedOver) {
    FakeInterface noDevice{MultiText({"HID\\VID_04D8&PID_003F"}), "no-device"};
    noDevice.deviceInfoFails = true;
    const FakeInterface noProperty{std::nullopt, "no-property"};
    fake.interfaces = {noDevice, noProperty, {MultiText({"HID\\VID_04D8&PID_0061"}), "good"}};
    EXPECT_EQ(Discover(), "good");
}

TEST_F(WinHidDiscoveryTest, DetailIsFetchedSizeFirstIntoWholeWordsAndAFailureTriesTheNextMatch) {
    FakeInterface broken{MultiText({"HID\\VID_04D8&PID_003F"}), "\\\\?\\hid#broken"};
    broken.detailFails = true;
    fake.interfaces = {broken,
                       {MultiText({"HID\\VID_04D8&PID_003F"}), "\\\\?\\hid#vid_04d8&pid_003f#7&1"}};
    EXPECT_EQ(Discover(), "\\\\?\\hid#vid_04d8&pid_003f#7&1");
    ASSERT_EQ(fake.detailRequired.size(), 2u);
    ASSERT_EQ(fake.detailBufferSizes.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(fake.detailBufferSizes[i] % 4, 0u);
        EXPECT_GE(fake.detailBufferSizes[i], fake.detailRequired[i]);
        EXPECT_LT(fake.detailBufferSizes[i], fake.detailRequired[i] + 4);
    }
    EXPECT_EQ(fake.destroyed, 1);
}

}  // namespace
}  // namespace quelvar::link

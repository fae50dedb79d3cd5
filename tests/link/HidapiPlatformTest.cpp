// Framing of the hidapi layer against a stand-in for hidapi's device calls.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "link/HID.h"
#include "link/HidapiPlatform.h"

namespace quelvar::link {
namespace {

// One pretend device behind the hidapi calls. Tests run one at a time, so plain globals do.
struct FakeDevice {
    std::vector<std::vector<unsigned char>> inputs;  // returned by successive reads
    std::vector<std::vector<unsigned char>> written;
    bool failRead = false;
    int opens = 0;
    int closes = 0;
    int reads = 0;
    int enumerations = 0;
    long long stamp = 1;
    bool openFails = false;
    bool denied = false;
};
FakeDevice fake;
int handleToken;

const HidapiCalls& FakeCalls() {
    static const HidapiCalls calls{
        [] {
            ++fake.enumerations;
            return std::vector<HidapiCalls::DeviceInfo>{{"/dev/hidraw3", 0x04d8, 0x003f},
                                                        {"/dev/hidraw4", 0x046d, 0xc31c}};
        },
        [](const char*) -> HidapiCalls::Handle {
            if (fake.openFails) {
                return nullptr;
            }
            ++fake.opens;
            return &handleToken;
        },
        [](HidapiCalls::Handle, unsigned char* data, std::size_t length, int ms) -> int {
            ++fake.reads;
            if (fake.failRead) {
                return -1;
            }
            if (fake.inputs.empty()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(ms));
                return 0;
            }
            std::vector<unsigned char> input = fake.inputs.front();
            fake.inputs.erase(fake.inputs.begin());
            const std::size_t n = std::min(length, input.size());
            std::copy_n(input.begin(), n, data);
            return static_cast<int>(n);
        },
        [](HidapiCalls::Handle, const unsigned char* data, std::size_t length) -> int {
            fake.written.emplace_back(data, data + length);
            return static_cast<int>(length);
        },
        [](HidapiCalls::Handle) { ++fake.closes; },
        [] { return fake.stamp; },
        [](const char*) { return fake.denied; }};
    return calls;
}

class HidapiPlatformTest : public ::testing::Test {
  protected:
    void SetUp() override { fake = FakeDevice{}; }
    HidapiPlatform platform{FakeCalls()};
};

TEST_F(HidapiPlatformTest, EnumerationGivesHardwareIdsTheLinkMatches) {
    const auto interfaces = platform.Enumerate();
    ASSERT_EQ(interfaces.size(), 2u);
    EXPECT_EQ(interfaces[0].path, "/dev/hidraw3");
    EXPECT_EQ(interfaces[0].hardwareId, "HID\\VID_04D8&PID_003F");
    EXPECT_TRUE(MatchesCommunicator(interfaces[0].hardwareId));
    EXPECT_FALSE(MatchesCommunicator(interfaces[1].hardwareId));
}

TEST_F(HidapiPlatformTest, EnumeratesAgainOnlyWhenTheDeviceSetChanged) {
    EXPECT_EQ(platform.Enumerate().size(), 2u);
    EXPECT_EQ(platform.Enumerate().size(), 2u);
    EXPECT_EQ(fake.enumerations, 1);
    fake.stamp = 2;  // a device node came or went
    EXPECT_EQ(platform.Enumerate().size(), 2u);
    EXPECT_EQ(fake.enumerations, 2);
    fake.stamp = -1;  // unknown: always look
    platform.Enumerate();
    platform.Enumerate();
    EXPECT_EQ(fake.enumerations, 4);
}

// A sign the system did not give (a missed change) is caught by a full look once a second, the
// second counted from the last look, whatever caused it.
TEST_F(HidapiPlatformTest, LooksOnceASecondThoughTheDeviceSetSeemsUnchanged) {
    using namespace std::chrono_literals;
    platform.Enumerate();
    std::this_thread::sleep_for(600ms);
    fake.stamp = 2;
    platform.Enumerate();
    EXPECT_EQ(fake.enumerations, 2);
    std::this_thread::sleep_for(500ms);  // over a second since the first look
    platform.Enumerate();
    EXPECT_EQ(fake.enumerations, 2);
    std::this_thread::sleep_for(600ms);  // over a second since the last
    platform.Enumerate();
    EXPECT_EQ(fake.enumerations, 3);
}

TEST_F(HidapiPlatformTest, FailedOpenTellsWhetherPermissionWasDenied) {
    fake.openFails = true;
    fake.denied = true;
    EXPECT_EQ(platform.OpenReader("/dev/hidraw3"), nullptr);
    EXPECT_EQ(platform.LastOpenError(), OpenError::kPermissionDenied);
    fake.denied = false;
    EXPECT_EQ(platform.OpenWriter("/dev/hidraw3"), nullptr);
    EXPECT_EQ(platform.LastOpenError(), OpenError::kOther);
    fake.openFails = false;
    EXPECT_NE(platform.OpenWriter("/dev/hidraw3"), nullptr);
    EXPECT_EQ(platform.LastOpenError(), OpenError::kNone);
}

TEST_F(HidapiPlatformTest, InputReportGetsTheReportIdInFrontAndShortReadsAreZeroFilled) {
    std::vector<unsigned char> payload(64);
    for (std::size_t i = 0; i < payload.size(); ++i) {
        payload[i] = static_cast<unsigned char>(i + 1);
    }
    fake.inputs = {payload, {7, 8, 9}};
    auto reader = platform.OpenReader("/dev/hidraw3");
    ASSERT_TRUE(reader);
    Report report;
    ASSERT_EQ(reader->Read(report), ReadStatus::kReport);
    EXPECT_EQ(report[0], 0);
    EXPECT_EQ(report[1], 1);
    EXPECT_EQ(report[64], 64);

    report.fill(0xAA);
    ASSERT_EQ(reader->Read(report), ReadStatus::kReport);
    EXPECT_EQ(report[0], 0);
    EXPECT_EQ(report[3], 9);
    EXPECT_EQ(report[4], 0);
    EXPECT_EQ(report[64], 0);
}

TEST_F(HidapiPlatformTest, OutputReportIs65BytesWithReportIdZero) {
    auto writer = platform.OpenWriter("/dev/hidraw3");
    ASSERT_TRUE(writer);
    Report report{};
    report[0] = 0x55;  // whatever the caller left there, the report ID goes out as 0
    report[1] = 5;
    report[64] = 0x7F;
    EXPECT_TRUE(writer->Write(report));
    ASSERT_EQ(fake.written.size(), 1u);
    ASSERT_EQ(fake.written[0].size(), 65u);
    EXPECT_EQ(fake.written[0][0], 0);
    EXPECT_EQ(fake.written[0][1], 5);
    EXPECT_EQ(fake.written[0][64], 0x7F);
}

TEST_F(HidapiPlatformTest, FailedReadAndCancelEndTheBlockingRead) {
    auto reader = platform.OpenReader("/dev/hidraw3");
    Report report;
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(80));
        reader->Cancel();
    });
    EXPECT_EQ(reader->Read(report), ReadStatus::kCancelled);
    canceller.join();
    EXPECT_GE(fake.reads, 2);

    auto second = platform.OpenReader("/dev/hidraw3");
    fake.failRead = true;
    EXPECT_EQ(second->Read(report), ReadStatus::kFailed);
    reader.reset();
    second.reset();
    EXPECT_EQ(fake.closes, fake.opens);
}

}  // namespace
}  // namespace quelvar::link

// The simulated firmware's answers.

#include <gtest/gtest.h>

#include "sim/SimDevice.h"

namespace quelvar::sim {
namespace {

using link::Report;

Report Command(std::uint8_t code, std::uint32_t address, std::uint8_t fill = 0) {
    Report r{};
    r[1] = code;
    r[2] = code == link::kEraseSector ? 0 : 32;
    link::WriteLe32(&r[5], address);
    if (code == link::kWriteBlock) {
        std::fill(r.begin() + 9, r.begin() + 41, fill);
    }
    return r;
}

Report TextCommand(std::uint8_t code, const std::string& text) {
    Report r{};
    r[1] = code;
    std::copy(text.begin(), text.end(), r.begin() + 5);
    return r;
}

TEST(SimDevice, ParametersAreSetAndEchoedWithTheirKey) {
    SimDevice device;
    EXPECT_EQ(link::TextAt(*device.Answer(TextCommand(5, "PW")), 5), "PW=583920");
    const Report ack = *device.Answer(TextCommand(4, "SMODE=Transparent"));
    EXPECT_EQ(ack[2], 4);
    EXPECT_EQ(device.Parameter("SMODE"), "Transparent");
    device.Answer(TextCommand(4, "UPHN1="));
    EXPECT_EQ(device.Parameter("UPHN1"), "");
    EXPECT_EQ(link::TextAt(*device.Answer(TextCommand(5, "NOPE")), 5), "NOPE=");
    EXPECT_EQ(device.Answer(TextCommand(4, "garbage"))->at(2), 4);
}

TEST(SimDevice, MemoryBehavesLikeFlash) {
    SimDevice device;
    EXPECT_EQ((*device.Answer(Command(2, 0x32010)))[2], 2);
    EXPECT_EQ(device.ReadMemory(0x32000, 4096), std::vector<std::uint8_t>(4096, 0xFF));
    EXPECT_NE(device.ReadMemory(0x31FFF, 1)[0], 0xFF) << "the neighbouring sector stays";

    device.Answer(Command(1, 0x32020, 0x0F));
    device.Answer(Command(1, 0x32020, 0xF1));  // again without an erase: bits only clear
    const Report read = *device.Answer(Command(3, 0x32020));
    EXPECT_EQ(read[2], 3);
    EXPECT_EQ(link::ReadLe32(&read[5]), 0x32020u);
    EXPECT_EQ(read[9], 0x01);
    EXPECT_EQ(read[40], 0x01);
    EXPECT_EQ(read[41], 0x00);
}

TEST(SimDevice, AddressesOutsideMemoryReadErasedAndIgnoreWrites) {
    SimDevice device;
    device.Answer(Command(1, 0x40000, 0x00));
    const Report read = *device.Answer(Command(3, 0x40000));
    EXPECT_EQ(link::ReadLe32(&read[5]), 0x40000u);
    EXPECT_EQ(read[9], 0xFF);
    EXPECT_EQ(read[40], 0xFF);
    EXPECT_FALSE(device.Answer(Report{}).has_value());
}

}  // namespace
}  // namespace quelvar::sim

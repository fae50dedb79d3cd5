#pragma once
// The 65-byte HID report of the device protocol: report ID 0 and 64 payload bytes.
// Outgoing: command code in byte 1. Incoming: response code in byte 2.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace quelvar::link {

constexpr std::size_t kReportSize = 65;
constexpr std::size_t kCommandSize = 64;
constexpr std::size_t kBlockSize = 32;
constexpr std::size_t kTextOffset = 5;       // first byte of a text field
constexpr std::size_t kAddressOffset = 5;    // first byte of a block address
constexpr std::size_t kBlockDataOffset = 9;  // first byte of a block's data
constexpr std::size_t kMaxChunk = 60;        // payload of one text-chunk report
// A request text and its terminating zero must fit bytes 5..64.
constexpr std::size_t kMaxRequestText = kReportSize - kTextOffset - 1;

using Report = std::array<std::uint8_t, kReportSize>;
using Command = std::array<std::uint8_t, kCommandSize>;
using Block = std::array<std::uint8_t, kBlockSize>;

enum CommandCode : std::uint8_t {
    kWriteBlock = 1,
    kEraseSector = 2,
    kReadBlock = 3,
    kSetParameter = 4,
    kGetParameter = 5,
};

constexpr std::uint8_t kFirstStatusCode = 200;
constexpr std::uint8_t kLastStatusCode = 210;
constexpr std::uint8_t kEventLineCode = 206;

inline std::uint32_t ReadLe32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

inline void WriteLe32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

// Text of a report from `offset` to the first zero byte or the end of the report,
// whichever comes first; never reads past the report. Empty for an offset at or past its end.
std::string TextAt(const Report& report, std::size_t offset);

// Builds a report from what a read returned: a shorter read is zero-filled, a longer one cut.
// Never fails; nullptr gives all zeros.
Report ReportFromBytes(const std::uint8_t* bytes, std::size_t count);

}  // namespace quelvar::link

#pragma once
// Recorded commands as short lines of text, so that a test comparing what was sent can say
// what differed. Block commands of one kind at consecutive addresses fold into one line, which
// makes a block asked again (or skipped) stand out in a list of hundreds.

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "link/Report.h"
#include "sim/SimulatedCommunicator.h"

namespace quelvar::test {

// The same command: its code, its text or its address (the data written is not compared).
inline bool SameCommand(const sim::RecordedCommand& a, const sim::RecordedCommand& b) {
    return a.code == b.code && a.text == b.text && a.address == b.address;
}

inline bool SameCommands(const std::vector<sim::RecordedCommand>& a,
                         const std::vector<sim::RecordedCommand>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), SameCommand);
}

// "get PW", "set UPHN3=+36703333333", "read 0x001fe0".
inline std::string CommandLine(const sim::RecordedCommand& command) {
    char address[16];
    std::snprintf(address, sizeof address, "0x%06x", static_cast<unsigned>(command.address));
    switch (command.code) {
        case link::kGetParameter:
            return "get " + command.text;
        case link::kSetParameter:
            return "set " + command.text;
        case link::kReadBlock:
            return std::string("read ") + address;
        case link::kWriteBlock:
            return std::string("write ") + address;
        case link::kEraseSector:
            return std::string("erase ") + address;
        default:
            return "code " + std::to_string(command.code);
    }
}

// One line a command, with each run of block commands of one kind, each at the address after
// the one before, folded: "read 0x001000..0x001fe0 (128)".
inline std::vector<std::string> FoldedCommandLines(const std::vector<sim::RecordedCommand>& list) {
    auto step = [](std::uint8_t code) -> std::uint32_t {
        switch (code) {
            case link::kReadBlock:
            case link::kWriteBlock:
                return link::kBlockSize;
            case link::kEraseSector:
                return 4096;
            default:
                return 0;
        }
    };
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < list.size();) {
        std::size_t end = i + 1;
        const std::uint32_t size = step(list[i].code);
        while (size != 0 && end < list.size() && list[end].code == list[i].code &&
               list[end].address == list[end - 1].address + size) {
            ++end;
        }
        std::string line = CommandLine(list[i]);
        if (end - i > 1) {
            char last[16];
            std::snprintf(last, sizeof last, "..0x%06x",
                          static_cast<unsigned>(list[end - 1].address));
            line += last + (" (" + std::to_string(end - i) + ")");
        }
        lines.push_back(line);
        i = end;
    }
    return lines;
}

// Where two lists of commands part, and both lists folded, for a failure message.
inline std::string CommandDifference(const std::vector<sim::RecordedCommand>& got,
                                     const std::vector<sim::RecordedCommand>& want) {
    const auto at = std::mismatch(got.begin(), got.end(), want.begin(), want.end(), SameCommand);
    const auto n = static_cast<std::size_t>(at.first - got.begin());
    std::string text =
        std::to_string(got.size()) + " commands sent, " + std::to_string(want.size()) + " expected";
    if (at.first == got.end() && at.second == want.end()) {
        return text + ", the same ones";
    }
    text += "; command " + std::to_string(n + 1) + " is " +
            (at.first == got.end() ? std::string("missing") : '"' + CommandLine(*at.first) + '"') +
            ", expected " +
            (at.second == want.end() ? std::string("none") : '"' + CommandLine(*at.second) + '"');
    auto list = [&text](const char* title, const std::vector<sim::RecordedCommand>& commands) {
        text += std::string("\n  ") + title + ":";
        for (const std::string& line : FoldedCommandLines(commands)) {
            text += "\n    " + line;
        }
    };
    list("sent", got);
    list("expected", want);
    return text;
}

}  // namespace quelvar::test

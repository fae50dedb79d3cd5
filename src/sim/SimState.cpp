#include "sim/SimState.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "io/FileReplace.h"

namespace quelvar::sim {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kParamTag = "param ";
constexpr std::string_view kMemoryTag = "memory ";
constexpr char kHexDigits[] = "0123456789abcdef";

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// A key never holds "=", but escaping it as well keeps the split of a line unambiguous.
std::string Escape(std::string_view bytes, bool escapeEquals) {
    std::string text;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte > 0x7E || c == '\\' || (escapeEquals && c == '=')) {
            text += "\\x";
            text += kHexDigits[byte >> 4];
            text += kHexDigits[byte & 0xF];
        } else {
            text += c;
        }
    }
    return text;
}

std::optional<std::string> Unescape(std::string_view text) {
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            bytes += text[i];
            continue;
        }
        if (i + 3 >= text.size()) {
            return std::nullopt;
        }
        const int high = HexValue(text[i + 2]);
        const int low = HexValue(text[i + 3]);
        if (text[i + 1] != 'x' || high < 0 || low < 0) {
            return std::nullopt;
        }
        bytes += static_cast<char>(high << 4 | low);
        i += 3;
    }
    return bytes;
}

bool ParseParam(std::string_view text, SimState& state) {
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) {
        return false;
    }
    std::optional<std::string> key = Unescape(text.substr(0, equals));
    std::optional<std::string> value = Unescape(text.substr(equals + 1));
    if (!key || key->empty() || !value) {
        return false;
    }
    return state.parameters.emplace(std::move(*key), std::move(*value)).second;
}

bool ParseMemory(std::string_view text, SimState& state, std::vector<bool>& seen) {
    const std::size_t blank = text.find(' ');
    if (blank == std::string_view::npos || text.size() - blank - 1 != 2 * link::kBlockSize) {
        return false;
    }
    std::uint32_t address = 0;
    const std::string_view digits = text.substr(0, blank);
    if (digits.empty() || digits.size() > 8) {
        return false;
    }
    for (const char c : digits) {
        const int v = HexValue(c);
        if (v < 0) {
            return false;
        }
        address = address << 4 | static_cast<std::uint32_t>(v);
    }
    if (address < kMemoryBase || (address - kMemoryBase) % link::kBlockSize != 0 ||
        address - kMemoryBase >= kMemorySize) {
        return false;
    }
    const std::size_t block = (address - kMemoryBase) / link::kBlockSize;
    if (seen[block]) {
        return false;
    }
    seen[block] = true;
    const std::string_view hex = text.substr(blank + 1);
    for (std::size_t i = 0; i < link::kBlockSize; ++i) {
        const int high = HexValue(hex[2 * i]);
        const int low = HexValue(hex[2 * i + 1]);
        if (high < 0 || low < 0) {
            return false;
        }
        state.memory[address - kMemoryBase + i] = static_cast<std::uint8_t>(high << 4 | low);
    }
    return true;
}

}  // namespace

SimState CaptureState(const SimulatedCommunicator& sim) {
    return {sim.Parameters(), sim.ReadMemory(kMemoryBase, kMemorySize)};
}

void RestoreState(SimulatedCommunicator& sim, const SimState& state) {
    for (const auto& [key, value] : state.parameters) {
        sim.SetParameter(key, value);
    }
    sim.LoadMemory(kMemoryBase, state.memory);
}

std::string FormatSimState(const SimState& state) {
    std::string text(kSimStateHeader);
    text += '\n';
    for (const auto& [key, value] : state.parameters) {
        text += std::string(kParamTag) + Escape(key, true) + "=" + Escape(value, false) + "\n";
    }
    for (std::size_t offset = 0; offset + link::kBlockSize <= state.memory.size();
         offset += link::kBlockSize) {
        char address[16];
        std::snprintf(address, sizeof address, "%05x", static_cast<unsigned>(kMemoryBase + offset));
        text += std::string(kMemoryTag) + address + " ";
        for (std::size_t i = 0; i < link::kBlockSize; ++i) {
            const std::uint8_t byte = state.memory[offset + i];
            text += kHexDigits[byte >> 4];
            text += kHexDigits[byte & 0xF];
        }
        text += '\n';
    }
    return text;
}

std::optional<SimState> ParseSimState(std::string_view text, std::string* error) {
    auto fail = [&](const std::string& why) -> std::optional<SimState> {
        if (error != nullptr) {
            *error = why;
        }
        return std::nullopt;
    };
    SimState state;
    state.memory.assign(kMemorySize, kErased);
    std::vector<bool> seen(kMemorySize / link::kBlockSize, false);
    std::size_t lineNumber = 0;
    while (!text.empty()) {
        const std::size_t newline = text.find('\n');
        std::string_view line = text.substr(0, newline);
        text = newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (lineNumber == 1) {
            if (line != kSimStateHeader) {
                return fail("it does not begin with \"" + std::string(kSimStateHeader) + "\"");
            }
            continue;
        }
        const bool ok =
            line.empty() ||
            (line.starts_with(kParamTag) && ParseParam(line.substr(kParamTag.size()), state)) ||
            (line.starts_with(kMemoryTag) &&
             ParseMemory(line.substr(kMemoryTag.size()), state, seen));
        if (!ok) {
            return fail("line " + std::to_string(lineNumber) + " is not understood");
        }
    }
    if (lineNumber == 0) {
        return fail("it is empty");
    }
    for (std::size_t block = 0; block < seen.size(); ++block) {
        if (!seen[block]) {
            char address[16];
            std::snprintf(address, sizeof address, "%05x",
                          static_cast<unsigned>(kMemoryBase + block * link::kBlockSize));
            return fail(std::string("the memory block at ") + address + " is missing");
        }
    }
    return state;
}

SimStateFileRead ReadSimStateFile(const std::string& path) {
    SimStateFileRead result;
    std::error_code ec;
    const fs::file_status status = fs::status(fs::path(path), ec);
    if (status.type() == fs::file_type::not_found) {
        result.missing = true;
        return result;
    }
    // A FIFO or a device would block the read or never end it.
    if (!fs::is_regular_file(status)) {
        result.error = "The simulator state file " + path + " is not a regular file";
        return result;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        result.error = "Cannot read the simulator state file " + path;
        return result;
    }
    std::string bytes(kMaxSimStateFileSize + 1, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (in.bad()) {
        result.error = "Cannot read the simulator state file " + path;
        return result;
    }
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    if (bytes.size() > kMaxSimStateFileSize) {
        result.error = path + " is not a simulator state file: it is larger than 1 MiB";
        return result;
    }
    std::string why;
    result.state = ParseSimState(bytes, &why);
    if (!result.state) {
        result.error = path + " is not a simulator state file: " + why;
    }
    return result;
}

std::string WriteSimStateFile(const std::string& path, const SimState& state) {
    // It holds the device's password, so a new file is the owner's alone.
    const std::string error = io::ReplaceFileAtomically(path, FormatSimState(state),
                                                              io::NewFileAccess::kOwnerOnly);
    return error.empty() ? std::string() : "Cannot write " + path + ": " + error;
}

}  // namespace quelvar::sim

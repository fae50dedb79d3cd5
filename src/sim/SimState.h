#pragma once
// The simulated communicator's state, its parameters and its configuration memory, kept in a file
// between runs, so that separate runs of a program meet the same device. The file is ASCII text:
// the header line, one "param KEY=VALUE" line per parameter, and one "memory ADDRESS HEX" line
// per 32-byte block (address in hex). Bytes outside printable ASCII, and the backslash, are
// written as \xHH.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/SimulatedCommunicator.h"

namespace quelvar::sim {

inline constexpr std::string_view kSimStateHeader = "quelvar-sim-state 1";
inline constexpr std::size_t kMaxSimStateFileSize = std::size_t{1} << 20;

struct SimState {
    std::map<std::string, std::string> parameters;
    std::vector<std::uint8_t> memory;  // kMemorySize bytes from kMemoryBase

    bool operator==(const SimState&) const = default;
};

SimState CaptureState(const SimulatedCommunicator& sim);
// Sets every parameter the state holds (others keep their values) and the whole memory; never
// fails, bytes beyond kMemorySize are dropped.
void RestoreState(SimulatedCommunicator& sim, const SimState& state);

// Never fails, but only a memory of kMemorySize bytes gives a text that ParseSimState takes.
std::string FormatSimState(const SimState& state);
// Nothing for text that is no complete state, and then `error` (if given) says why: no header,
// which line is wrong, or which block is missing. Every memory block must be there exactly once,
// every parameter at most once.
std::optional<SimState> ParseSimState(std::string_view text, std::string* error = nullptr);

struct SimStateFileRead {
    std::optional<SimState> state;
    bool missing = false;  // there is no such file; not an error
    std::string error;     // one line, when there is neither a state nor `missing`
};
// No state, and `error` saying why, when the path names no regular file, it cannot be read, is
// over kMaxSimStateFileSize bytes or holds no complete state; only `missing` when there is none.
SimStateFileRead ReadSimStateFile(const std::string& path);

// Empty on success, else what went wrong, the old file kept. The new file is written beside the
// old one and renamed over it, so a reader sees either the old state or the new one.
std::string WriteSimStateFile(const std::string& path, const SimState& state);

}  // namespace quelvar::sim

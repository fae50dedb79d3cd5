#pragma once
// The communicator's firmware as the tool sees it: named parameters and configuration
// memory, answering one command report at a time. No threads, no timing; see
// SimulatedCommunicator for those.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "link/Report.h"

namespace quelvar::sim {

inline constexpr std::uint32_t kMemoryBase = 0x30000;
inline constexpr std::uint32_t kMemorySize = 0x3000;  // alarm image 8192 + input image 4096
inline constexpr std::uint32_t kSectorSize = 4096;
inline constexpr std::uint8_t kErased = 0xFF;

inline constexpr const char* kDefaultPassword = "583920";

class SimDevice {
  public:
    SimDevice();

    // The answer to one command report, or nothing for a report that is no command.
    std::optional<link::Report> Answer(const link::Report& command);

    // The empty text for a key the device does not hold.
    std::string Parameter(const std::string& key) const;
    void SetParameter(const std::string& key, const std::string& value);
    const std::map<std::string, std::string>& Parameters() const { return parameters_; }

    // Memory from kMemoryBase; reads outside it give erased bytes, writes outside are dropped.
    std::vector<std::uint8_t> ReadMemory(std::uint32_t address, std::size_t length) const;
    void LoadMemory(std::uint32_t address, const std::vector<std::uint8_t>& bytes);

  private:
    link::Report AnswerErase(const link::Report& command);
    link::Report AnswerWrite(const link::Report& command);
    link::Report AnswerRead(const link::Report& command) const;
    link::Report AnswerSet(const link::Report& command);
    link::Report AnswerGet(const link::Report& command) const;
    std::uint8_t* At(std::uint32_t address);

    std::map<std::string, std::string> parameters_;
    std::vector<std::uint8_t> memory_;
};

// A report with the given response code and a zero-terminated text from byte 5 (cut to fit);
// never fails.
link::Report TextReport(std::uint8_t code, const std::string& text);

}  // namespace quelvar::sim

#include "sim/SimDevice.h"

#include <algorithm>

namespace quelvar::sim {

using link::Report;

namespace {

struct SampleRecord {
    std::uint32_t offset;                                      // from kMemoryBase
    std::vector<std::pair<std::uint32_t, std::string>> texts;  // field offset, text
    std::uint32_t targetsOffset;
    std::uint8_t targets;
};

// A device fresh from the installer's bench: a few alarm entries and all four input events.
const std::vector<SampleRecord>& SampleRecords() {
    static const std::vector<SampleRecord> records = {
        {0x0000,
         {{0, "130"}, {4, "E"}, {8, "01"}, {12, "001"}, {16, "Bet\xF6r\xE9s Z1"}},
         180,
         0x11},
        {0x0100,
         {{0, "130"}, {4, "R"}, {8, "01"}, {12, "001"}, {16, "Vissza\xE1llt Z1"}},
         180,
         0x01},
        {0x0200, {{0, "1**"}, {4, "E"}, {8, "**"}, {12, "***"}, {16, "Riaszt\xE1s"}}, 180, 0x33},
        {0x2000, {{0, "Z1 riaszt\xE1s"}}, 164, 0x11},
        {0x2100, {{0, "Z1 vissza\xE1llt"}}, 164, 0x01},
        {0x2200, {{0, "Z2 riaszt\xE1s"}}, 164, 0x12},
        {0x2300, {{0, "Z2 vissza\xE1llt"}}, 164, 0x02},
    };
    return records;
}

}  // namespace

Report TextReport(std::uint8_t code, const std::string& text) {
    Report report{};
    report[2] = code;
    const std::size_t n = std::min(text.size(), report.size() - link::kTextOffset - 1);
    std::copy_n(text.begin(), n, report.begin() + link::kTextOffset);
    return report;
}

SimDevice::SimDevice() : memory_(kMemorySize, 0) {
    parameters_ = {
        {"SIMPIN", "1234"},
        {"UPHN1", "+36301234567"},
        {"UPHN2", "+36209876543"},
        {"UPHN3", ""},
        {"UPHN4", ""},
        {"SFWN", "+36301234567"},
        {"IN1S", "1 sec"},
        {"IN1T", "NO"},
        {"IN2S", "0.5 sec"},
        {"IN2T", "NC"},
        {"ACCID", "12AB"},
        {"MS1", "+3612345678"},
        {"Z1CID", "130"},
        {"Z2CID", "131"},
        {"PW", kDefaultPassword},
        {"SMODE", "Standalone"},
        {"VSTR", "2.14"},
        {"GACK", "1000"},
    };
    for (const SampleRecord& record : SampleRecords()) {
        for (const auto& [field, text] : record.texts) {
            std::copy(text.begin(), text.end(), memory_.begin() + record.offset + field);
        }
        memory_[record.offset + record.targetsOffset] = record.targets;
    }
}

std::string SimDevice::Parameter(const std::string& key) const {
    const auto it = parameters_.find(key);
    return it == parameters_.end() ? std::string() : it->second;
}

void SimDevice::SetParameter(const std::string& key, const std::string& value) {
    parameters_[key] = value;
}

std::uint8_t* SimDevice::At(std::uint32_t address) {
    if (address < kMemoryBase || address - kMemoryBase >= memory_.size()) {
        return nullptr;
    }
    return &memory_[address - kMemoryBase];
}

std::vector<std::uint8_t> SimDevice::ReadMemory(std::uint32_t address, std::size_t length) const {
    std::vector<std::uint8_t> bytes(length, kErased);
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint64_t a = std::uint64_t{address} + i;
        if (a >= kMemoryBase && a - kMemoryBase < memory_.size()) {
            bytes[i] = memory_[a - kMemoryBase];
        }
    }
    return bytes;
}

void SimDevice::LoadMemory(std::uint32_t address, const std::vector<std::uint8_t>& bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (std::uint8_t* p = At(static_cast<std::uint32_t>(address + i))) {
            *p = bytes[i];
        }
    }
}

std::optional<Report> SimDevice::Answer(const Report& command) {
    switch (command[1]) {
        case link::kWriteBlock:
            return AnswerWrite(command);
        case link::kEraseSector:
            return AnswerErase(command);
        case link::kReadBlock:
            return AnswerRead(command);
        case link::kSetParameter:
            return AnswerSet(command);
        case link::kGetParameter:
            return AnswerGet(command);
        default:
            return std::nullopt;
    }
}

Report SimDevice::AnswerErase(const Report& command) {
    // Erases the whole sector that holds the address, as flash does.
    const std::uint32_t sector =
        link::ReadLe32(&command[link::kAddressOffset]) & ~(kSectorSize - 1);
    for (std::uint32_t i = 0; i < kSectorSize; ++i) {
        if (std::uint8_t* p = At(sector + i)) {
            *p = kErased;
        }
    }
    Report answer{};
    answer[2] = link::kEraseSector;
    return answer;
}

Report SimDevice::AnswerWrite(const Report& command) {
    // Flash programming only clears bits: a block written without an erase comes out mixed.
    const std::uint32_t address = link::ReadLe32(&command[link::kAddressOffset]);
    const std::size_t count = std::min<std::size_t>(command[2], link::kBlockSize);
    for (std::size_t i = 0; i < count; ++i) {
        if (std::uint8_t* p = At(static_cast<std::uint32_t>(address + i))) {
            *p &= command[link::kBlockDataOffset + i];
        }
    }
    Report answer{};
    answer[2] = link::kWriteBlock;
    return answer;
}

Report SimDevice::AnswerRead(const Report& command) const {
    const std::uint32_t address = link::ReadLe32(&command[link::kAddressOffset]);
    Report answer{};
    answer[2] = link::kReadBlock;
    link::WriteLe32(&answer[link::kAddressOffset], address);
    const std::vector<std::uint8_t> block = ReadMemory(address, link::kBlockSize);
    std::copy(block.begin(), block.end(), answer.begin() + link::kBlockDataOffset);
    return answer;
}

Report SimDevice::AnswerSet(const Report& command) {
    const std::string text = link::TextAt(command, link::kTextOffset);
    const std::size_t equals = text.find('=');
    if (equals != std::string::npos) {
        parameters_[text.substr(0, equals)] = text.substr(equals + 1);
    }
    Report answer{};
    answer[2] = link::kSetParameter;
    return answer;
}

Report SimDevice::AnswerGet(const Report& command) const {
    const std::string key = link::TextAt(command, link::kTextOffset);
    return TextReport(link::kGetParameter, key + "=" + Parameter(key));
}

}  // namespace quelvar::sim

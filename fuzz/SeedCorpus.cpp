// Writes the seed corpus of the fuzz targets from the simulator's real traffic and state:
//   fuzz_seed_corpus <folder>      (normally fuzz/corpus; each target gets a folder of its own)
// The committed seeds came from this program; run it again when a format changes.

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "KeyFilterScript.h"
#include "link/Report.h"
#include "settings/AlarmTableImage.h"
#include "settings/Catalogue.h"
#include "settings/InputTableImage.h"
#include "settings/SettingsFile.h"
#include "sim/SimDevice.h"
#include "sim/SimulatedCommunicator.h"

namespace {

namespace fs = std::filesystem;
namespace link = quelvar::link;
namespace settings = quelvar::settings;
namespace sim = quelvar::sim;
namespace fuzz = quelvar::fuzz;

using Bytes = std::vector<std::uint8_t>;

void WriteFile(const fs::path& path, const Bytes& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    std::printf("%s: %zu bytes\n", path.string().c_str(), bytes.size());
}

// The dispatch target's records: a control byte, then the report.
class Traffic {
  public:
    void Add(const link::Report& report, bool awaitReply) {
        bytes_.push_back(awaitReply ? 1 : 0);
        bytes_.insert(bytes_.end(), report.begin(), report.end());
    }
    const Bytes& Get() const { return bytes_; }

  private:
    Bytes bytes_;
};

// Both ends of the simulated device as the link opens them.
class Host {
  public:
    explicit Host(sim::SimulatedCommunicator& device)
        : reader_(device.OpenReader(sim::kSimPath)), writer_(device.OpenWriter(sim::kSimPath)) {}

    link::Report Next() {
        link::Report report{};
        if (reader_->Read(report) != link::ReadStatus::kReport) {
            std::fprintf(stderr, "the simulator stopped answering\n");
            std::exit(1);
        }
        return report;
    }

    // The answer to one command; status reports that arrive first are kept in order too.
    void Exchange(const link::Report& command, Traffic& traffic) {
        writer_->Write(command);
        for (;;) {
            const link::Report report = Next();
            const bool answer = report[2] == command[1];
            traffic.Add(report, answer && command[1] == link::kGetParameter);
            if (answer) {
                return;
            }
        }
    }

  private:
    std::unique_ptr<link::HidReader> reader_;
    std::unique_ptr<link::HidWriter> writer_;
};

link::Report Command(std::uint8_t code, std::uint8_t count = 0, std::uint32_t address = 0) {
    link::Report report{};
    report[1] = code;
    report[2] = count;
    link::WriteLe32(&report[link::kAddressOffset], address);
    return report;
}

link::Report TextCommand(std::uint8_t code, const std::string& text) {
    link::Report report = Command(code);
    std::copy(text.begin(), text.end(), report.begin() + link::kTextOffset);
    return report;
}

void WriteDispatchSeeds(const fs::path& folder) {
    sim::SimulatedCommunicator device;
    Host host(device);

    Traffic parameters;
    for (const auto& [key, value] : device.Parameters()) {
        host.Exchange(TextCommand(link::kGetParameter, key), parameters);
    }
    WriteFile(folder / "parameter_replies", parameters.Get());

    Traffic memory;
    host.Exchange(Command(link::kEraseSector, 0, sim::kMemoryBase + 0x1000), memory);
    link::Report write = Command(link::kWriteBlock, link::kBlockSize, sim::kMemoryBase + 0x1000);
    std::fill_n(write.begin() + link::kBlockDataOffset, link::kBlockSize, 0x41);
    host.Exchange(write, memory);
    for (std::uint32_t a = 0; a < 0x120; a += link::kBlockSize) {
        host.Exchange(Command(link::kReadBlock, 0, settings::kAlarmTableAddress + a), memory);
    }
    host.Exchange(Command(link::kReadBlock, 0, settings::kInputTableAddress), memory);
    host.Exchange(TextCommand(link::kSetParameter, "UPHN3=+36705550123"), memory);
    WriteFile(folder / "memory_and_sets", memory.Get());

    // The status rounds as they come, up to and including the first event line; the same
    // round again while a parameter reply is awaited.
    Traffic status;
    Traffic awaited;
    device.SetStatusPeriod(std::chrono::milliseconds(1));
    for (bool eventSeen = false; !eventSeen;) {
        const link::Report report = host.Next();
        status.Add(report, false);
        awaited.Add(report, true);
        eventSeen = report[2] == link::kEventLineCode;
    }
    device.SetStatusPeriod(std::chrono::milliseconds(0));
    WriteFile(folder / "status_rounds", status.Get());
    WriteFile(folder / "status_while_awaiting_reply", awaited.Get());
}

void FillFromDevice(settings::SettingsModel& model, const sim::SimulatedCommunicator& device) {
    for (const settings::TableId id : settings::kSettingsFileTableOrder) {
        settings::TTableRule& table = model.Rule(id);
        table.ForEachRow([&](const std::string& caption, const std::string& key) {
            table.SetValue(caption, device.Parameter(key));
        });
    }
    settings::FillAlarmGrid(model.AlarmGrid(), device.ReadMemory(settings::kAlarmTableAddress,
                                                                 settings::kAlarmTableLength));
    settings::FillInputGrid(model.InputGrid(), device.ReadMemory(settings::kInputTableAddress,
                                                                 settings::kInputTableLength));
}

Bytes ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Save(const settings::SettingsModel& model, int mode, const fs::path& path) {
    fs::create_directories(path.parent_path());
    const settings::SettingsSaveResult saved =
        settings::SaveSettingsFile(model, mode, path.string());
    if (!saved.ok) {
        std::fprintf(stderr, "%s: %s\n", saved.message.c_str(), saved.reason.c_str());
        std::exit(1);
    }
    std::printf("%s: %zu bytes\n", path.string().c_str(), ReadAll(path).size());
}

void WriteSettingsSeeds(const fs::path& folder) {
    const sim::SimulatedCommunicator device;
    settings::SettingsModel model;
    FillFromDevice(model, device);
    Save(model, 0, folder / "from_device.am2");

    // A file that already held more than the tool's keys, saved over in Transparent mode.
    const fs::path kept = folder / "saved_over_existing.am2";
    const std::string existing =
        "; installer notes\n[Site]\nname=Warehouse 2\n\n[gsm]\n  smode = 0\nNOTE='kept'\n"
        "\n; after the section\n[Tail]\r\nx=1";
    std::ofstream(kept, std::ios::binary) << existing;
    Save(model, 1, kept);

    settings::SettingsModel empty;
    Save(empty, 0, folder / "empty_model.am2");

    // A saved file cut down and edited by hand: LF endings, a few keys in other case or quoted,
    // a comment, and a second section of the same name that the reader must not look at.
    const Bytes full = ReadAll(folder / "from_device.am2");
    std::string edited;
    std::string line;
    int lines = 0;
    for (const std::uint8_t byte : full) {
        if (byte != '\n') {
            line += static_cast<char>(byte);
            continue;
        }
        line.pop_back();  // the CR
        const bool table = lines < 16 && line.find("extev") == std::string::npos;
        const bool row1 = line.rfind("extev1", 0) == 0 && !std::isdigit(line[6]);
        if (table || row1 || line.rfind("intevZ1 R", 0) == 0) {
            edited += line + "\n";
            ++lines;
        }
        line.clear();
    }
    edited.replace(edited.find("SIMPIN=1234"), 11, "simpin = \" 1234 \"");
    edited += "; the old values\n[GSM]\nSMODE=1\nSIMPIN=0000\n";
    WriteFile(folder / "hand_edited.am2", Bytes(edited.begin(), edited.end()));
}

void WriteImageSeeds(const fs::path& alarms, const fs::path& inputs) {
    const sim::SimulatedCommunicator device;
    WriteFile(alarms / "device_memory",
              device.ReadMemory(settings::kAlarmTableAddress, settings::kAlarmTableLength));
    WriteFile(alarms / "erased", Bytes(settings::kAlarmTableLength, sim::kErased));
    WriteFile(inputs / "device_memory",
              device.ReadMemory(settings::kInputTableAddress, settings::kInputTableLength));
    WriteFile(inputs / "erased", Bytes(settings::kInputTableLength, sim::kErased));
}

// A value-editor script, step by step.
class Script {
  public:
    Script(std::uint8_t rule, bool upperCase, std::uint8_t maxLengthIndex, std::string_view current,
           std::string_view customRule = {}) {
        bytes_.push_back(static_cast<std::uint8_t>(rule | (upperCase ? fuzz::kUpperCaseBit : 0) |
                                                   maxLengthIndex << 4));
        if (rule == fuzz::kCustomRule) {
            Text(customRule);
        }
        Text(current);
    }
    Script& Type(std::string_view utf8, std::uint8_t modifiers = 0) {
        bytes_.insert(bytes_.end(), {fuzz::kTypeKey, modifiers,
                                     static_cast<std::uint8_t>(utf8.empty() ? 0 : utf8[0])});
        return Text(utf8);
    }
    Script& Paste(std::string_view utf8, std::uint8_t chord = 0) {
        bytes_.insert(bytes_.end(), {fuzz::kPasteKey, chord});
        return Text(utf8);
    }
    Script& Commit(std::string_view commit, std::string_view preedit, std::int8_t start = 0,
                   std::uint8_t length = 0) {
        bytes_.push_back(fuzz::kCommit);
        Text(commit);
        Text(preedit);
        bytes_.insert(bytes_.end(), {static_cast<std::uint8_t>(start), length, 0});
        return *this;
    }
    // A commit whose event also selects, as input methods do while composing.
    Script& CommitSelecting(std::string_view commit, std::uint8_t from, std::int8_t length) {
        Commit(commit, "");
        bytes_.back() = 1;
        bytes_.insert(bytes_.end(), {from, static_cast<std::uint8_t>(length)});
        return *this;
    }
    Script& Edit(std::uint8_t key) {
        bytes_.insert(bytes_.end(), {fuzz::kEditKey, key});
        return *this;
    }
    Script& Select(std::uint8_t start, std::int8_t length) {
        bytes_.insert(bytes_.end(), {fuzz::kSelect, start, static_cast<std::uint8_t>(length)});
        return *this;
    }
    Script& Insert(std::string_view utf8) {
        bytes_.push_back(fuzz::kInsert);
        return Text(utf8);
    }
    Script& Filter(std::string_view utf8) {
        bytes_.push_back(fuzz::kFilterOnly);
        return Text(utf8);
    }
    const Bytes& Get() const { return bytes_; }

  private:
    Script& Text(std::string_view text) {
        bytes_.push_back(static_cast<std::uint8_t>(text.size()));
        bytes_.insert(bytes_.end(), text.begin(), text.end());
        return *this;
    }
    Bytes bytes_;
};

void WriteKeyFilterSeeds(const fs::path& folder) {
    // Indices into fuzz::kMaxLengths.
    constexpr std::uint8_t kLength4 = 4, kLength3 = 3, kLength19 = 7, kLength158 = 11;
    using fuzz::kBackspace, fuzz::kUndo, fuzz::kCut, fuzz::kEnd;
    WriteFile(folder / "phone_number", Script(2, false, kLength19, "+36301234567")
                                           .Type("+")
                                           .Type("3")
                                           .Type("6")
                                           .Edit(kBackspace)
                                           .Paste("06 30/123-45-67\n")
                                           .Type("a")
                                           .Edit(kUndo)
                                           .Get());
    WriteFile(folder / "sms_text", Script(0, false, kLength158, "Z1 riaszt\xE1s")
                                       .Edit(kEnd)
                                       .Type(" \xC5\x91r")                         // " őr"
                                       .Paste("T\xC3\xA9l\tnap \xF0\x9F\x94\x94")  // "Tél\tnap 🔔"
                                       .Commit("\xC3\xBC", "\xC3\xBC", 0, 0)       // "ü"
                                       .Select(0, 4)
                                       .Edit(kCut)
                                       .Insert("Z2 ")
                                       .Get());
    WriteFile(folder / "account_upper_case", Script(3, true, kLength4, "12AB")
                                                 .Type("c")
                                                 .Select(2, 2)
                                                 .Type("e")
                                                 .Paste("fgh12", fuzz::kShiftInsert)
                                                 .Filter("abz\xC3\x9F")  // "abzß"
                                                 .Get());
    WriteFile(folder / "event_code", Script(4, false, kLength3, "1**")
                                         .Select(0, 3)
                                         .Type("6")
                                         .Type("0")
                                         .Type("2")
                                         .Type("*")
                                         .Commit("13", "", -1, 1)
                                         .CommitSelecting("4", 0, 2)
                                         .Type("5")
                                         .Get());
    WriteFile(folder / "custom_rule", Script(fuzz::kCustomRule, true, kLength19, "\xE1rv\xEDz",
                                             "\xC3\xA1rv\xC3\xADzt\xC5\xB1r")  // "árvíztűr"
                                          .Edit(kEnd)
                                          .Type("\xC5\xB1")  // "ű"
                                          .Type("q")
                                          .Get());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 64;
    }
    const fs::path root(argv[1]);
    WriteDispatchSeeds(root / "dispatch");
    WriteSettingsSeeds(root / "settings_file");
    WriteImageSeeds(root / "alarm_image", root / "input_image");
    WriteKeyFilterSeeds(root / "key_filter");
    return 0;
}

#pragma once
// Parameter and configuration-memory exchanges with the communicator over the link.
// UI thread only: each call returns when its exchange has ended (answered or given up).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "exchange/ExchangeHooks.h"
#include "link/ConnHIDCOM.h"
#include "settings/TableRule.h"

namespace quelvar::exchange {

inline constexpr const char* kSettingsChanging = "Settings changing...";
inline constexpr std::uint32_t kEraseStep = 4096;
// A memory read gives up on the failure after this many, counted over the whole call.
inline constexpr int kMaxReadFailures = 10;

enum class SetOutcome {
    kAcknowledged,
    kUnanswered,  // sent (or tried while detached) without an acknowledgement
    kNoDevice,    // the connection has no device object: nothing done
    kTooLong,     // key over 58 or text over 59 characters: not sent
    kNotSent,     // the session had already failed: nothing sent
};

// What went unanswered since the last Reset, so a sequence can tell the truth at its end.
struct UnansweredTally {
    int sets = 0;
    int gets = 0;  // parameter reads that got no answer
    std::vector<std::string> tooLongKeys;
    int memoryRequests = 0;
    std::optional<std::uint32_t> firstMemoryAddress;

    bool Clean() const { return sets == 0 && tooLongKeys.empty() && memoryRequests == 0; }
};

struct MemoryWriteResult {
    int unanswered = 0;
    std::optional<std::uint32_t> firstUnansweredAddress;
};

class DeviceExchange {
  public:
    explicit DeviceExchange(link::ConnHIDCOM& connection, ExchangeHooks hooks = {});

    // The device's value of the key; the empty text whenever TryGetParameter gives nothing.
    // The answer's key part is skipped by position, not compared.
    std::string GetParameter(const std::string& key);
    // As GetParameter, but nothing without a device object, for a key over 59 characters (not
    // sent), or when the send failed (LastSend() says how; only this counts in Unanswered()).
    std::optional<std::string> TryGetParameter(const std::string& key);
    // Sends key "=" value; an empty value is sent as the key and "=" alone. Never gives kNotSent;
    // kTooLong and kUnanswered are also counted in Unanswered().
    SetOutcome SetParameter(const std::string& key, const std::string& value);

    // Every row of the table, in its visiting order, from or to the device. Nothing is returned:
    // a row without an answer reads as empty, and what failed is counted in Unanswered().
    void ReadTableFromDevice(settings::TTableRule& table);
    void WriteTableToDevice(settings::TTableRule& table);
    // SetParameter with the key of the caption's row; a caption the table lacks is sent under
    // an empty key.
    SetOutcome SetRowParameter(settings::TTableRule& table, const std::string& caption,
                               const std::string& value);

    // Erases the range in 4096-byte steps, then writes it in 32-byte blocks. Unanswered requests
    // are counted in the result (and in Unanswered()); without a device object, or once the
    // transfer's stopRequested says so, the rest is neither sent nor counted.
    MemoryWriteResult WriteMemory(const std::uint8_t* data, std::uint32_t start, std::size_t length,
                                  const TransferHooks& transfer = {});
    // Reads the range in 32-byte blocks into buffer; false once the transfer's stopRequested
    // says so or on the eleventh failed attempt (unanswered, or no block of that address), the
    // buffer then partly filled. Without a device object nothing is asked and it gives true, the
    // buffer untouched.
    bool ReadMemory(std::uint8_t* buffer, std::uint32_t start, std::size_t length,
                    const TransferHooks& transfer = {});

    const UnansweredTally& Unanswered() const { return tally_; }
    void ResetUnanswered() { tally_ = {}; }

    // How the last command sent ended (kDetached before any was sent).
    link::SendResult LastSend() const { return lastSend_; }
    // How many commands were sent, so that an observer tells a new outcome from the last one.
    std::uint64_t Sends() const { return sends_; }

    link::ConnHIDCOM& Connection() { return connection_; }
    ExchangeHooks& Hooks() { return hooks_; }

  private:
    // Sends with the device's acknowledgement wait and notes how it ended.
    bool Send(const link::Command& command, link::Report* reply = nullptr);
    bool SendMemoryRequest(std::uint8_t code, std::uint32_t address, const std::uint8_t* data,
                           std::size_t count);
    void WriteStatus(const std::string& text);
    bool TimerEnabled();
    void SetTimerEnabled(bool enabled);

    link::ConnHIDCOM& connection_;
    ExchangeHooks hooks_;
    UnansweredTally tally_;
    link::SendResult lastSend_ = link::SendResult::kDetached;
    std::uint64_t sends_ = 0;
};

}  // namespace quelvar::exchange

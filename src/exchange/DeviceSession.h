#pragma once
// The device sequences of a whole session with the communicator, for every front end: the log-in,
// reading everything the initial read reads, the re-read of the acknowledgement marks, writing
// everything as a write-back does and its verify, loading a settings file and the password
// change. Stages go to an observer. A session gives up on a device that has gone silent, or when
// its caller's stop predicate says so, instead of waiting out every remaining command.

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "exchange/DeviceExchange.h"
#include "exchange/DevicePassword.h"
#include "exchange/EventTables.h"
#include "exchange/SettingsLoad.h"
#include "settings/Catalogue.h"
#include "settings/SettingsCheck.h"
#include "settings/SettingsFile.h"

namespace quelvar::exchange {

// No command answered for this long means the device is not coming back: about three commands'
// worth of acknowledgement waits.
inline constexpr std::chrono::seconds kSilenceLimit{3};

// Operating modes as the mode index of the settings file and the window.
inline constexpr int kStandaloneMode = 0;
inline constexpr int kTransparentMode = 1;

struct ReadAllResult {
    int modeIndex = kTransparentMode;  // anything but exactly "Standalone" is Transparent
    // In Standalone mode "GACK", "0000" for a text that is not four characters; else empty.
    std::string ackMask;
    std::optional<std::string> firmwareVersion;  // "VSTR"; nothing when unanswered
    EventReadOutcome alarms = EventReadOutcome::kNoDevice;
    EventReadOutcome inputs = EventReadOutcome::kNoDevice;
    // Settings keys ("SMODE" included) whose request went unanswered; they read as empty.
    std::vector<std::string> unansweredKeys;

    bool Complete() const {
        return unansweredKeys.empty() && alarms == EventReadOutcome::kRead &&
               inputs == EventReadOutcome::kRead;
    }
};

// The stages as the observer hears of them.
inline constexpr const char* kReadingSettings = "Reading settings";
inline constexpr const char* kWritingSettings = "Writing settings";
inline constexpr const char* kLoadingSettings = "Loading settings";

enum class LogInOutcome {
    kLoggedIn,
    kCancelled,           // the asker gave no entry
    kWrongPassword,       // the asker gave up after a wrong entry
    kPasswordUnreadable,  // "PW" is no number, so no entry logs in: the device needs a reset
    kPasswordOutOfReach,  // "PW" is a number no four digits give: the device needs a reset
    kUnanswered,          // "PW" went unanswered in a session without a silence limit (with
                          // one, it is asked again until the session fails)
    kFault,               // see Fault(): nothing more is sent
};

// Asked for the encoded password each time one is needed; nothing ends the log-in.
using PasswordAsker = std::function<std::optional<long long>(bool wrongBefore)>;

// The read-back after a write, compared with what was meant to be written.
struct VerifyResult {
    ReadAllResult read;
    settings::SettingValues deviceValues;  // what was read back, the mode included
    std::vector<settings::SettingDifference> differences;
    // The acknowledgement marks read back, when they differ from those written (they are in no
    // settings file, so they are compared apart).
    std::optional<std::string> deviceAckMask;
    std::string ackMaskWritten;

    bool Complete() const { return read.Complete(); }
    int Differing() const { return static_cast<int>(differences.size()) + (deviceAckMask ? 1 : 0); }
};

// Why a session stopped early.
enum class SessionFault {
    kNone,
    kDetached,  // the device went away (or there is no device object)
    kSilent,    // attached, but nothing was answered for the silence limit
    kStopped,   // the exchange's stopRequested hook said so; nothing more is sent
};

// " while writing the alarm table" for the stage "Writing alarm table"; empty outside stages.
std::string WhileStage(std::string stage);

class DeviceSession {
  public:
    struct Progress {
        // A stage begins: its name and the number of steps (parameters, or bytes of a table).
        std::function<void(const std::string& stage, int maximum)> begin;
        std::function<void(int position)> advance;
        // The stage ended: complete, or cut short by a fault.
        std::function<void(const std::string& stage, bool complete)> end;
        // Each memory transfer's own progress, block by block, within 0..maximum (0 at the
        // start and end of each pass).
        std::function<void(int position, int maximum)> transfer;
    };
    // Called by ReadEverything once the parameters and the mode are read, before the
    // acknowledgement marks and the event tables: the window shows the settings then.
    using SettingsRead = std::function<void(int modeIndex)>;

    // Made once the connection is open. A zero silence limit waits out every command, as the
    // exchange does on its own; once nothing was answered for the limit the session fails as
    // silent and sends nothing more. Once stopRequested says so the session fails as stopped
    // and sends nothing more; it is asked between commands and between memory blocks.
    DeviceSession(DeviceExchange& exchange, Progress progress = {},
                  std::chrono::milliseconds silenceLimit = std::chrono::milliseconds(0),
                  std::function<bool()> stopRequested = {});
    ~DeviceSession();
    DeviceSession(const DeviceSession&) = delete;
    DeviceSession& operator=(const DeviceSession&) = delete;

    // "PW" as ParseDevicePassword reads it; kUnanswered when unanswered or after a fault.
    DevicePassword ReadPassword();
    // Reads "PW" (again after each wrong entry, and while it goes unanswered until the session
    // fails) and asks for the password while one is needed. kFault once the session has failed,
    // before or during the log-in.
    LogInOutcome LogIn(const PasswordAsker& ask);

    // The key's value; nothing when unanswered, without a device object, for a key over 59
    // characters, or after a fault (then nothing is sent).
    std::optional<std::string> Get(const std::string& key);

    // Into the set-up model: the six tables (SIM card, Z1, Z2, monitoring, phone numbers, SMS
    // forwarding), "SMODE", in Standalone mode "GACK" with its marks in the phone numbers' ACK
    // column, the alarm and the input table, "VSTR". Stops at a fault. Without a set-up model
    // nothing is read. Not Complete() when a key went unanswered, a table was not read or a
    // fault cut it short (see Fault()).
    ReadAllResult ReadEverything(settings::SettingsModel& model,
                                 const SettingsRead& settingsRead = {});

    // "GACK" into the phone numbers' ACK column, as ShowAckMask shows it; an unanswered request,
    // or one after a fault, shows no marks and gives "0000", as a device without marks does.
    std::string ReadAckMarks(settings::SettingsModel& model);

    // From the set-up model: the six tables (SIM card, phone numbers, SMS forwarding, Z1, Z2,
    // monitoring), "GACK", "SMODE", the alarm and the input table. Stops at a fault. Returns what
    // went unanswered or was too long to send; what a fault left unsent is not in it, and it is
    // empty when the model is not set up or the session had already failed (see Fault()).
    UnansweredTally WriteEverything(const settings::SettingsModel& model, int modeIndex,
                                    const std::string& ackMask);

    // The parameters, "GACK" and "SMODE" of WriteEverything, without the event tables; what
    // went unanswered or was too long to send, counted as there.
    UnansweredTally WriteSettings(const settings::SettingsModel& model, int modeIndex,
                                  const std::string& ackMask);

    // Reads everything back as ReadEverything does and compares it with `expected` (the mode
    // included) and, when the device reads Standalone and `ackMaskWritten` is not empty, the
    // acknowledgement marks. Not Complete() when the read was cut short or went unanswered; the
    // differences may then list what was never read back.
    VerifyResult Verify(const settings::SettingValues& expected, const std::string& ackMaskWritten,
                        settings::SettingsModel& readBack);

    // Each setting of the file's tables shown in the model and sent, then the event grids filled
    // and both tables written. After a fault the rest of the file is still shown but not sent.
    // Without a set-up model nothing is shown or sent, yet the result reads AllSent().
    SettingsLoadResult LoadSettingsFile(const settings::SettingsFileContent& content,
                                        settings::SettingsModel& model);

    // Sends the encoded password as "PW"; after a fault sends nothing and gives kNotSent,
    // otherwise fails as SetParameter does.
    SetOutcome SetPassword(long long encoded);

    // One event table each, in its own stage. A read that fails leaves the grid as it was and
    // says why; after a fault it asks nothing and gives kFailed (kDetached once the device is
    // gone). A write counts its unanswered requests; after a fault it sends nothing and gives
    // an empty result, as a write that went through does.
    EventReadOutcome ReadAlarmTable(settings::SettingsModel& model);
    EventReadOutcome ReadInputTable(settings::SettingsModel& model);
    MemoryWriteResult WriteAlarmTable(const settings::SettingsModel& model);
    MemoryWriteResult WriteInputTable(const settings::SettingsModel& model);
    // "SMODE" as the mode's name; kNotSent after a fault, otherwise fails as SetParameter does.
    SetOutcome WriteOperatingMode(int modeIndex);

    // A write of only what differs (see RunChangesWrite): these parameters, in their order, in
    // the stage "Writing settings"; what went unanswered or was too long, as WriteSettings says.
    UnansweredTally WriteParameterList(
        const std::vector<std::pair<std::string, std::string>>& parameters);
    // These 4096-byte sectors of the table's image (offsets into it), each erased and written,
    // in the table's write stage. Nothing after a fault.
    MemoryWriteResult WriteSectors(const settings::EventTable& table,
                                   const std::vector<std::uint8_t>& image,
                                   const std::vector<std::size_t>& offsets);
    // Reads those sectors back into `image` (the rest left as it is); false when one could not
    // be read whole or the session failed.
    bool ReadSectors(const settings::EventTable& table, const std::vector<std::size_t>& offsets,
                     std::vector<std::uint8_t>& image);

    // After each command the exchange's stopRequested hook is asked: once it says so, the
    // session sends nothing more and gives kStopped.
    SessionFault Fault() const { return fault_; }
    // The stage under way when the fault came ("Writing alarm table"); empty outside stages.
    const std::string& FaultStage() const { return faultStage_; }

  private:
    class Stage;
    // Notes whether the last command was answered and decides whether the device has failed.
    void Observe(bool answered);
    void ObserveSet(SetOutcome outcome);
    void ObserveMemory();
    void Detached();
    void LoadOne(settings::TTableRule& table, const std::string& caption, const std::string& key,
                 const std::string& value, SettingsLoadResult& result);
    void WriteEventTables(const settings::SettingsModel& model, SettingsLoadResult& result);
    void WriteParameters(const settings::SettingsModel& model, int modeIndex,
                         const std::string& ackMask);
    // One table's stage; nothing is written after a fault.
    EventReadOutcome ReadTable(const settings::EventTable& table, settings::StringGrid& grid);
    MemoryWriteResult WriteTable(const settings::EventTable& table,
                                 const settings::StringGrid& grid);
    bool Failed() const { return fault_ != SessionFault::kNone; }
    bool CallerStopped() const { return stopRequested_ && stopRequested_(); }
    // The hooks each memory transfer is given: progress observed, stopped once failed.
    TransferHooks Transfer();

    DeviceExchange& exchange_;
    Progress progress_;
    std::chrono::milliseconds silenceLimit_;
    std::optional<std::chrono::steady_clock::time_point> lastObservation_;
    std::optional<std::chrono::steady_clock::time_point> silentSince_;
    SessionFault fault_ = SessionFault::kNone;
    std::string stage_;
    std::string faultStage_;
    std::function<bool()> stopRequested_;
    std::uint64_t observedSends_ = 0;
    std::chrono::milliseconds ackTimeout_;  // the device's wait for one answer
};

}  // namespace quelvar::exchange

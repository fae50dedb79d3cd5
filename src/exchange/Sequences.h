#pragma once
// The device sequences a user starts, each whole, for both programs: writing settings (the
// backup, the writes, the verify: the window's write-back and restore, the command line's write
// and restore) and the password change (the set and its read-back). A front end chooses one,
// watches its stages through the session's observer and words its one outcome with
// DescribeOutcome, so both programs say the same of the same end.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "exchange/DeviceSession.h"
#include "settings/BackupStore.h"
#include "settings/HeldSettings.h"

namespace quelvar::exchange {

// How a sequence ended.
enum class Ending {
    kComplete,       // done, and the read-back (where there is one) matches
    kVerifyFailed,   // the read-back differs: see `verify`
    kNotVerified,    // written, but the read-back lacks what the device did not answer
    kUnanswered,     // writes went unanswered or were too long to send: see `tally`
    kNoBackup,       // no backup could be taken and the caller would not go on: nothing sent
    kNoAckMarks,     // the device did not give its acknowledgement marks to keep: nothing sent
    kDetached,       // cut at `stage`: the device went away
    kSilent,         // cut at `stage`: the device stopped answering
    kStopped,        // cut at `stage` by the caller's stop
    kNotConfirmed,   // the new password went unanswered: it may or may not have changed
    kNotReadBack,    // the new password was confirmed but its read-back went unanswered
    kOtherPassword,  // the new password was confirmed but the device holds another one
};

// What the device holds once a sequence was cut.
enum class DeviceHolds {
    kUnchanged,
    kAsWritten,           // every write, and the read-back (if any) matched
    kPartial,             // some of the writes
    kWrittenNotVerified,  // every write, not read back
    kPasswordUnknown,     // the new password was sent but not confirmed
    kNewPasswordUnread,   // the new password, confirmed but not read back
    kNewPassword,
    kOtherPassword,
};

// What the caller's stop stands for, for the words.
enum class StopCause {
    kReplug,  // the window: another device (or the same one again) was plugged in
    kSignal,  // the command line: an interrupt or a termination signal
};

struct SequenceOutcome {
    Ending ending = Ending::kComplete;
    std::string stage;  // the stage under way when the sequence was cut ("Writing alarm table")
    DeviceHolds holds = DeviceHolds::kUnchanged;
    StopCause stopCause = StopCause::kReplug;
    UnansweredTally tally;
    std::optional<VerifyResult> verify;  // a read-back that ran to its end
    std::string backupPath;              // the backup taken before the writes, if any
    std::string backupError;             // why none was taken, when the caller went on without
    std::string restoredName;            // a restore's backup, for the words
    std::string loadedName;              // a load's file, for the words

    bool Cut() const {
        return ending == Ending::kDetached || ending == Ending::kSilent ||
               ending == Ending::kStopped;
    }
};

// The steps of a write, in their order; a sequence is a list of them.
enum class WriteStep {
    kBackup,         // read the device (unless what it holds is known) and keep a backup
    kReadAckMarks,   // the device keeps its own acknowledgement marks ("GACK")
    kWriteSettings,  // the parameters, "GACK" and "SMODE", in the write-back's order
    kWriteAlarmTable,
    kWriteInputTable,
    kVerify,  // read everything back and compare it with what is meant to be there
};

// The window's write-back and restore, and the command line's write.
inline const std::vector<WriteStep> kWriteBackSteps = {
    WriteStep::kBackup, WriteStep::kWriteSettings, WriteStep::kWriteAlarmTable,
    WriteStep::kWriteInputTable, WriteStep::kVerify};
inline const std::vector<WriteStep> kFileWriteSteps = {
    WriteStep::kBackup,          WriteStep::kReadAckMarks,    WriteStep::kWriteSettings,
    WriteStep::kWriteAlarmTable, WriteStep::kWriteInputTable, WriteStep::kVerify};

struct WriteRequest {
    std::vector<WriteStep> steps = kWriteBackSteps;
    const settings::SettingsModel* settings = nullptr;  // what is written
    int modeIndex = kTransparentMode;
    std::string ackMask;  // the marks written, unless kReadAckMarks reads the device's
    // What the read-back must show; empty: the written settings as they are.
    settings::SettingValues expected;
    StopCause stopCause = StopCause::kReplug;
    std::string restoredName;
};

struct BackupRequest {
    settings::BackupStore* store = nullptr;  // nothing: no backup is taken
    // Asked with the reason when no backup can be taken: go on without one? Nothing: no.
    std::function<bool(const std::string& why)> goOnWithout;
    // Told the backup's path once it is saved, before anything is written.
    std::function<void(const std::string& path)> taken;
};

// Runs the request's steps over a logged-in session. `held` says what the device holds: the
// backup saves it (reading the device first when it is stale), and a complete read-back
// replaces it. `readBack` receives what the verify read. Nothing is sent after a cut. How it
// failed is in `ending`: a cut (Cut()), kNoBackup, kNoAckMarks, kUnanswered, kNotVerified or
// kVerifyFailed.
SequenceOutcome RunWrite(DeviceSession& session, const WriteRequest& request,
                         const BackupRequest& backup, settings::HeldSettings& held,
                         settings::SettingsModel& readBack);

// What a write of only what differs sent.
struct ChangesWritten {
    int parameters = 0;         // settings set one by one, the mode among them
    int sectors = 0;            // 4096-byte sectors of the event tables erased and written
    std::string accountBefore;  // the account ID the device held before, from its read
    bool Nothing() const { return parameters == 0 && sectors == 0; }
};

// The command line's write of only what differs from what the device holds. The device is read
// whole (the read a backup takes, saved as the backup when a store is given); then only the
// parameters that differ are set and only the event-table sectors whose image differs are erased
// and written; then exactly those are read back and compared. A device that holds everything
// already ends kComplete with nothing written. Of the request, `settings`, `modeIndex`,
// `expected` and `stopCause` are used; the device keeps its acknowledgement marks. Fails as
// RunWrite does; a read that is not whole ends kNoBackup with kBackupReadIncomplete, nothing sent.
// `readBack` receives what the device holds afterwards: the read, with what was read back.
SequenceOutcome RunChangesWrite(DeviceSession& session, const WriteRequest& request,
                                const BackupRequest& backup, settings::HeldSettings& held,
                                settings::SettingsModel& readBack, ChangesWritten& written);

// The backup, then the file loaded into the device as LoadSettingsFile does (each setting shown
// in `model` and sent, then both event tables); `loaded` says how the load went. Fails as a
// cut, kNoBackup or kUnanswered (sets left unsent count as unanswered); a model not set up
// ends kComplete with nothing sent. `fileName` names the file in the words ("Loaded site.am2
// into the device"); a connection without a device object ends kDetached, nothing sent.
SequenceOutcome RunLoad(DeviceSession& session, const settings::SettingsFileContent& content,
                        const std::string& fileName, settings::SettingsModel& model,
                        const BackupRequest& backup, settings::HeldSettings& held,
                        SettingsLoadResult& loaded);

// Sets the new (encoded) password and reads it back. Fails as a cut, kNotConfirmed (`holds`
// left kUnchanged), kNotReadBack or kOtherPassword.
SequenceOutcome ChangePassword(DeviceSession& session, long long encoded,
                               StopCause stopCause = StopCause::kReplug);

// The outcome in one sentence, the same in both programs: "Written and verified", "The device
// went away while writing the alarm table: it holds a partial configuration".
std::string DescribeOutcome(const SequenceOutcome& outcome);
// A session's fault in those words, for sequences that change nothing (a log-in, a read) too;
// empty when the session has none.
std::string DescribeFault(const DeviceSession& session, DeviceHolds holds, StopCause stopCause);
// The same with what the device holds in the caller's words ("it holds part of site.am2").
std::string DescribeFault(const DeviceSession& session, const std::string& holds,
                          StopCause stopCause);
// How many settings failed: those that differ on the read-back, the acknowledgement marks, and
// values too long to send that the read-back does not list already.
int FailedSettings(const SequenceOutcome& outcome);
// Whether the read-back lists the key among its differences.
bool Listed(const VerifyResult& verify, const std::string& key);
// "1 setting differs", "3 settings differ".
std::string DifferingText(int differing);

}  // namespace quelvar::exchange

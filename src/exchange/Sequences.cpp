#include "exchange/Sequences.h"

#include "exchange/SequenceSteps.h"

#include <algorithm>

namespace quelvar::exchange {

// Fills in how the session was cut, if it was; true when it was.
bool NoteCut(const DeviceSession& session, DeviceHolds holds, SequenceOutcome& outcome) {
    switch (session.Fault()) {
        case SessionFault::kNone:
            return false;
        case SessionFault::kDetached:
            outcome.ending = Ending::kDetached;
            break;
        case SessionFault::kSilent:
            outcome.ending = Ending::kSilent;
            break;
        case SessionFault::kStopped:
            outcome.ending = Ending::kStopped;
            break;
    }
    outcome.stage = session.FaultStage();
    outcome.holds = holds;
    return true;
}

namespace {

bool Writes(WriteStep step) {
    return step == WriteStep::kWriteSettings || step == WriteStep::kWriteAlarmTable ||
           step == WriteStep::kWriteInputTable;
}

}  // namespace

// The backup before the writes; false when the sequence must not go on.
bool TakeBackup(DeviceSession& session, const BackupRequest& backup, settings::HeldSettings& held,
                SequenceOutcome& outcome) {
    if (backup.store == nullptr) {
        return true;
    }
    if (held.BackupStale()) {
        settings::SettingsModel device;
        const ReadAllResult read = session.ReadEverything(device);
        if (NoteCut(session, DeviceHolds::kUnchanged, outcome)) {
            return false;
        }
        if (read.firmwareVersion) {
            held.SetFirmware(*read.firmwareVersion);
        }
        held.NoteDeviceRead(device, read.modeIndex, read.Complete());
    }
    const settings::BackupSaveResult saved = held.SaveBackup(*backup.store);
    if (saved.Saved()) {
        outcome.backupPath = saved.path.string();
        if (backup.taken) {
            backup.taken(outcome.backupPath);
        }
        return true;
    }
    if (backup.goOnWithout && backup.goOnWithout(saved.error)) {
        outcome.backupError = saved.error;
        return true;
    }
    outcome.ending = Ending::kNoBackup;
    outcome.backupError = saved.error;
    return false;
}

namespace {

void AddTally(UnansweredTally& total, const MemoryWriteResult& written) {
    total.memoryRequests += written.unanswered;
    if (written.firstUnansweredAddress && !total.firstMemoryAddress) {
        total.firstMemoryAddress = written.firstUnansweredAddress;
    }
}

// What the verify must find: the request's expectation, or the written settings.
settings::SettingValues Expected(const WriteRequest& request) {
    return request.expected.empty() ? settings::ValuesOf(*request.settings, request.modeIndex)
                                    : request.expected;
}

void Verify(DeviceSession& session, const WriteRequest& request, const std::string& ackMask,
            settings::HeldSettings& held, settings::SettingsModel& readBack,
            SequenceOutcome& outcome) {
    VerifyResult check = session.Verify(Expected(request), ackMask, readBack);
    // A cut after everything compared was read (at the firmware's "VSTR") verified all the same.
    if (!check.Complete() && NoteCut(session, DeviceHolds::kWrittenNotVerified, outcome)) {
        return;
    }
    held.NoteDeviceRead(readBack, check.read.modeIndex, check.Complete());
    if (check.read.firmwareVersion) {
        held.SetFirmware(*check.read.firmwareVersion);
    }
    if (check.Complete()) {
        held.Remember(check.deviceValues, check.read.modeIndex,
                      check.deviceAckMask.value_or(ackMask));
    }
    const bool unanswered = !outcome.tally.Clean();
    if (!check.Complete()) {
        outcome.ending = unanswered ? Ending::kUnanswered : Ending::kNotVerified;
    } else if (check.Differing() > 0 || !outcome.tally.tooLongKeys.empty()) {
        outcome.ending = unanswered ? Ending::kUnanswered : Ending::kVerifyFailed;
    }
    outcome.verify = std::move(check);
}

}  // namespace

SequenceOutcome RunWrite(DeviceSession& session, const WriteRequest& request,
                         const BackupRequest& backup, settings::HeldSettings& held,
                         settings::SettingsModel& readBack) {
    SequenceOutcome outcome;
    outcome.stopCause = request.stopCause;
    outcome.restoredName = request.restoredName;
    std::string ackMask = request.ackMask;
    bool written = false;
    UnansweredTally& tally = outcome.tally;
    for (const WriteStep step : request.steps) {
        if (Writes(step) && !written) {
            held.Overwriting();
            written = true;
        }
        switch (step) {
            case WriteStep::kBackup:
                if (!TakeBackup(session, backup, held, outcome)) {
                    return outcome;
                }
                continue;
            case WriteStep::kReadAckMarks:
                if (const std::optional<std::string> marks = session.Get("GACK")) {
                    ackMask = *marks;
                    continue;
                }
                if (!NoteCut(session, DeviceHolds::kUnchanged, outcome)) {
                    outcome.ending = Ending::kNoAckMarks;
                }
                return outcome;
            case WriteStep::kWriteSettings: {
                const UnansweredTally sent =
                    session.WriteSettings(*request.settings, request.modeIndex, ackMask);
                tally.sets += sent.sets;
                tally.tooLongKeys.insert(tally.tooLongKeys.end(), sent.tooLongKeys.begin(),
                                         sent.tooLongKeys.end());
                break;
            }
            case WriteStep::kWriteAlarmTable:
                AddTally(tally, session.WriteAlarmTable(*request.settings));
                break;
            case WriteStep::kWriteInputTable:
                AddTally(tally, session.WriteInputTable(*request.settings));
                break;
            case WriteStep::kVerify:
                Verify(session, request, ackMask, held, readBack, outcome);
                if (outcome.Cut()) {
                    return outcome;
                }
                continue;
        }
        if (NoteCut(session, DeviceHolds::kPartial, outcome)) {
            return outcome;
        }
    }
    if (outcome.ending == Ending::kComplete && !tally.Clean()) {
        outcome.ending = Ending::kUnanswered;
    }
    outcome.holds =
        outcome.ending == Ending::kComplete ? DeviceHolds::kAsWritten : DeviceHolds::kPartial;
    return outcome;
}

SequenceOutcome RunLoad(DeviceSession& session, const settings::SettingsFileContent& content,
                        const std::string& fileName, settings::SettingsModel& model,
                        const BackupRequest& backup, settings::HeldSettings& held,
                        SettingsLoadResult& loaded) {
    SequenceOutcome outcome;
    outcome.loadedName = fileName;
    if (!TakeBackup(session, backup, held, outcome)) {
        return outcome;
    }
    held.Overwriting();
    loaded = session.LoadSettingsFile(content, model);
    if (NoteCut(session, DeviceHolds::kPartial, outcome)) {
        return outcome;
    }
    if (loaded.noDevice) {
        outcome.ending = Ending::kDetached;
        outcome.holds = DeviceHolds::kUnchanged;
        return outcome;
    }
    outcome.tally.sets = loaded.unansweredSets + loaded.unsentSets;
    outcome.tally.memoryRequests = loaded.unansweredMemoryRequests;
    outcome.tally.tooLongKeys = loaded.tooLongKeys;
    outcome.ending = outcome.tally.Clean() ? Ending::kComplete : Ending::kUnanswered;
    // A value too long to send was not sent, and its cell shows what it showed before: the
    // device still holds what the window shows.
    const bool allTaken = outcome.tally.sets == 0 && outcome.tally.memoryRequests == 0;
    outcome.holds = allTaken ? DeviceHolds::kAsWritten : DeviceHolds::kPartial;
    return outcome;
}

SequenceOutcome ChangePassword(DeviceSession& session, long long encoded, StopCause stopCause) {
    SequenceOutcome outcome;
    outcome.stopCause = stopCause;
    const SetOutcome set = session.SetPassword(encoded);
    if (NoteCut(session,
                set == SetOutcome::kAcknowledged ? DeviceHolds::kNewPasswordUnread
                                                 : DeviceHolds::kPasswordUnknown,
                outcome)) {
        return outcome;
    }
    if (set != SetOutcome::kAcknowledged) {
        outcome.ending = Ending::kNotConfirmed;
        outcome.holds = DeviceHolds::kPasswordUnknown;
        return outcome;
    }
    const DevicePassword now = session.ReadPassword();
    const bool holdsNew = now.kind == DevicePassword::Kind::kNumber && now.Accepts(encoded);
    const DeviceHolds holds =
        now.kind == DevicePassword::Kind::kUnanswered
            ? DeviceHolds::kNewPasswordUnread
            : (holdsNew ? DeviceHolds::kNewPassword : DeviceHolds::kOtherPassword);
    // The change was confirmed, so a cut during the read-back still says what the device holds.
    if (NoteCut(session, holds, outcome)) {
        return outcome;
    }
    if (now.kind == DevicePassword::Kind::kUnanswered) {
        outcome.ending = Ending::kNotReadBack;
    } else if (!holdsNew) {
        outcome.ending = Ending::kOtherPassword;
    }
    outcome.holds = holds;
    return outcome;
}

}  // namespace quelvar::exchange

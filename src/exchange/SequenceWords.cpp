// How a sequence ended, in the words both programs use.

#include <algorithm>

#include "exchange/Sequences.h"

namespace quelvar::exchange {

namespace {

const char* HoldsWords(DeviceHolds holds) {
    switch (holds) {
        case DeviceHolds::kUnchanged:
            return "nothing on it was changed";
        case DeviceHolds::kAsWritten:
            return "it holds what was written";
        case DeviceHolds::kPartial:
            return "it holds a partial configuration";
        case DeviceHolds::kWrittenNotVerified:
            return "everything was written, not verified";
        case DeviceHolds::kPasswordUnknown:
            return "the new password was sent but not checked; try both";
        case DeviceHolds::kNewPasswordUnread:
            return "it holds the new password (confirmed, not read back)";
        case DeviceHolds::kNewPassword:
            return "it holds the new password";
        case DeviceHolds::kOtherPassword:
            return "it confirmed the new password but holds another one";
    }
    return "";
}

std::string CutWords(Ending ending, const std::string& stage, const std::string& holds,
                     StopCause stopCause) {
    const std::string during = WhileStage(stage);
    std::string first;
    switch (ending) {
        case Ending::kDetached:
            first = "The device went away" + during;
            break;
        case Ending::kSilent:
            first = "The device stopped answering" + during + " (nothing for " +
                    std::to_string(kSilenceLimit.count()) + " s)";
            break;
        default:
            first = (stopCause == StopCause::kSignal ? "Interrupted" : "The device was replugged") +
                    during;
            break;
    }
    return first + ": " + holds;
}

// A load is not verified: its words say what was sent.
std::string LoadWords(const SequenceOutcome& outcome) {
    const UnansweredTally& tally = outcome.tally;
    const int unanswered = tally.sets + tally.memoryRequests;
    if (outcome.ending == Ending::kUnanswered && unanswered > 0) {
        return "Loaded; " + std::to_string(unanswered) + " commands unanswered by the device";
    }
    std::string text = "Loaded " + outcome.loadedName + " into the device";
    if (const std::size_t tooLong = tally.tooLongKeys.size(); tooLong > 0) {
        text += "; " + std::to_string(tooLong) + (tooLong == 1 ? " value" : " values") +
                " too long to send";
    }
    return text;
}

std::string UnansweredWords(const SequenceOutcome& outcome) {
    const UnansweredTally& tally = outcome.tally;
    std::string text =
        "Write-back incomplete: " + std::to_string(tally.sets + tally.memoryRequests) +
        " commands unanswered";
    if (!tally.tooLongKeys.empty()) {
        text += ", " + std::to_string(tally.tooLongKeys.size()) + " values too long to send";
    }
    if (!outcome.verify || !outcome.verify->Complete()) {
        return text + ", not verified";
    }
    if (const int failed = FailedSettings(outcome); failed > 0) {
        return text + "; verify failed: " + DifferingText(failed);
    }
    return text;
}

}  // namespace

bool Listed(const VerifyResult& verify, const std::string& key) {
    return std::any_of(verify.differences.begin(), verify.differences.end(),
                       [&](const settings::SettingDifference& d) {
                           return settings::AllSettings()[d.setting].key == key;
                       });
}

std::string DifferingText(int differing) {
    return differing == 1 ? "1 setting differs" : std::to_string(differing) + " settings differ";
}

int FailedSettings(const SequenceOutcome& outcome) {
    if (!outcome.verify) {
        return 0;
    }
    int failed = outcome.verify->Differing();
    for (const std::string& key : outcome.tally.tooLongKeys) {
        failed += Listed(*outcome.verify, key) ? 0 : 1;
    }
    return failed;
}

std::string DescribeOutcome(const SequenceOutcome& outcome) {
    const bool load = !outcome.loadedName.empty();
    if (load && (outcome.ending == Ending::kComplete || outcome.ending == Ending::kUnanswered)) {
        return LoadWords(outcome);
    }
    if (load && outcome.Cut() && outcome.holds == DeviceHolds::kPartial) {
        return CutWords(outcome.ending, outcome.stage, "it holds part of " + outcome.loadedName,
                        outcome.stopCause);
    }
    switch (outcome.ending) {
        case Ending::kComplete:
            if (outcome.holds == DeviceHolds::kNewPassword) {
                return "Password changed";
            }
            return outcome.restoredName.empty()
                       ? std::string("Written and verified")
                       : "Restored " + outcome.restoredName + " and verified";
        case Ending::kVerifyFailed:
            return "Verify failed: " + DifferingText(FailedSettings(outcome));
        case Ending::kNotVerified:
            return "Written, but not verified: the device did not answer every read";
        case Ending::kUnanswered:
            return UnansweredWords(outcome);
        case Ending::kNoBackup:
            return "Nothing was written: no backup (" + outcome.backupError + ")";
        case Ending::kNoAckMarks:
            return "The device did not answer the request for GACK; nothing was written";
        case Ending::kDetached:
        case Ending::kSilent:
        case Ending::kStopped:
            return CutWords(outcome.ending, outcome.stage, HoldsWords(outcome.holds),
                            outcome.stopCause);
        case Ending::kNotConfirmed:
            return "The device did not confirm the new password; it may or may not have changed, "
                   "so try both";
        case Ending::kNotReadBack:
            return "The device confirmed the new password but did not answer its read-back";
        case Ending::kOtherPassword:
            return "The device confirmed the new password but holds another one";
    }
    return {};
}

std::string DescribeFault(const DeviceSession& session, DeviceHolds holds, StopCause stopCause) {
    return DescribeFault(session, HoldsWords(holds), stopCause);
}

std::string DescribeFault(const DeviceSession& session, const std::string& holds,
                          StopCause stopCause) {
    switch (session.Fault()) {
        case SessionFault::kNone:
            return {};
        case SessionFault::kDetached:
            return CutWords(Ending::kDetached, session.FaultStage(), holds, stopCause);
        case SessionFault::kSilent:
            return CutWords(Ending::kSilent, session.FaultStage(), holds, stopCause);
        case SessionFault::kStopped:
            return CutWords(Ending::kStopped, session.FaultStage(), holds, stopCause);
    }
    return {};
}

}  // namespace quelvar::exchange

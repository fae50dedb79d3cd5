#include "register/SequenceRevision.h"

#include "register/RevisionChanges.h"
#include "settings/SettingsFile.h"

namespace quelvar::sites {

namespace {

const char* DoneWord(RevisionKind kind) {
    switch (kind) {
        case RevisionKind::kLoad:
            return "loaded";
        case RevisionKind::kPasswordChange:
            return "password changed";
        case RevisionKind::kRead:
            return "read";
        default:
            return "verified";
    }
}

}  // namespace

std::optional<std::string> SettingsBytes(const settings::SettingsModel& model, int modeIndex) {
    if (!model.IsSetUp()) {
        return std::nullopt;
    }
    return settings::BuildSettingsFile("", model, modeIndex);
}

std::string OutcomeWords(RevisionKind kind, const exchange::SequenceOutcome& outcome) {
    using exchange::Ending;
    switch (outcome.ending) {
        case Ending::kComplete:
            return DoneWord(kind);
        case Ending::kVerifyFailed:
            return "verify failed: " + exchange::DifferingText(exchange::FailedSettings(outcome));
        case Ending::kSilent:
            return "silent: " + exchange::DescribeOutcome(outcome);
        case Ending::kDetached:
        case Ending::kStopped:
            return "cut: " + exchange::DescribeOutcome(outcome);
        default:
            return exchange::DescribeOutcome(outcome);
    }
}

std::optional<std::int64_t> RecordSequence(RegisterUse& use, RevisionKind kind,
                                           const exchange::SequenceOutcome& outcome,
                                           const std::optional<std::string>& after,
                                           const DeviceFacts& device) {
    // Nothing was sent: the device is as the last revision says.
    if (outcome.ending == exchange::Ending::kNoBackup ||
        outcome.ending == exchange::Ending::kNoAckMarks ||
        (outcome.Cut() && outcome.holds == exchange::DeviceHolds::kUnchanged)) {
        return std::nullopt;
    }
    RevisionRecord revision;
    revision.kind = kind;
    revision.accountId =
        after ? AccountIdOfSettings(*after).value_or(device.accountBefore) : device.accountBefore;
    revision.usbPath = device.usbPath;
    revision.firmware = device.firmware;
    revision.outcome = OutcomeWords(kind, outcome);
    revision.settingsAfter = after;
    revision.backupPath = outcome.backupPath;
    const std::optional<std::string> before =
        outcome.backupPath.empty() ? std::nullopt : FileBytes(outcome.backupPath);
    return use.Record(std::move(revision), before);
}

std::optional<std::int64_t> RecordRead(RegisterUse& use, const settings::SettingsModel& model,
                                       int modeIndex, const DeviceFacts& device) {
    return RecordSequence(use, RevisionKind::kRead, exchange::SequenceOutcome{},
                          SettingsBytes(model, modeIndex), device);
}

std::optional<std::string> ReadBackBytes(const exchange::SequenceOutcome& outcome,
                                         const settings::SettingsModel& readBack) {
    if (!outcome.verify || !outcome.verify->Complete()) {
        return std::nullopt;
    }
    return SettingsBytes(readBack, outcome.verify->read.modeIndex);
}

void RecordProvisioned(RegisterUse& use, const std::string& usbPath,
                       const exchange::LineResult& result,
                       const settings::SettingsModel& readBack) {
    const DeviceFacts facts{usbPath, result.firmware, result.accountBefore};
    RecordSequence(use, RevisionKind::kCommandWrite, result.outcome,
                   ReadBackBytes(result.outcome, readBack), facts);
    if (result.passwordOutcome) {
        RecordSequence(use, RevisionKind::kPasswordChange, *result.passwordOutcome, std::nullopt,
                       {usbPath, result.firmware, result.accountAfter});
    }
}

}  // namespace quelvar::sites

#include "cli/WriteCommand.h"

#include <algorithm>

#include "cli/BackupStep.h"
#include "cli/ExitCodes.h"
#include "cli/Interrupt.h"
#include "cli/SitesCommand.h"
#include "exchange/Sequences.h"
#include "register/SequenceRevision.h"
#include "settings/Cp1250.h"
#include "settings/SettingsCheck.h"

namespace quelvar::cli {

namespace {

using settings::SettingDifference;

bool Contains(const std::vector<std::string>& keys, const std::string& key) {
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

// Notes always, findings one per line; false when the file may not be sent.
bool ReportFindings(const CommandContext& context, const std::string& path,
                    const settings::SettingsFileContent& content, bool force) {
    const std::vector<settings::Finding> findings = settings::CheckSettingsFile(content);
    int blocking = 0;
    for (const settings::Finding& finding : findings) {
        context.err << settings::FormatFinding(finding) << "\n";
        blocking += finding.IsNote() ? 0 : 1;
    }
    if (blocking == 0) {
        return true;
    }
    if (force) {
        context.err << "Sending " << path << " with its " << blocking
                    << " findings, as --force asks\n";
        return true;
    }
    context.err << "Nothing was sent: " << path << " has " << blocking
                << " findings (missing settings would be cleared on the device); correct the "
                   "file, or send it as it is with --force\n";
    return false;
}

// What the device is meant to hold after the file's load: a key missing from the file counts
// as what its load left (a cleared setting).
settings::SettingValues ExpectedAfterLoad(const settings::SettingValues& inFile,
                                          const settings::SettingsModel& written, int mode) {
    settings::SettingValues expected = inFile;
    const settings::SettingValues loaded = settings::ValuesOf(written, mode);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        expected[i] = expected[i] ? expected[i] : loaded[i];
    }
    return expected;
}

// Every difference on standard output.
void ListDifferences(const CommandContext& context, const settings::SettingValues& inFile,
                     exchange::VerifyResult verify, const exchange::UnansweredTally& tally) {
    // A missing key's line still says that the file lacks it.
    for (SettingDifference& difference : verify.differences) {
        difference.first = inFile[difference.setting];
    }
    auto keyOf = [](const SettingDifference& d) { return settings::AllSettings()[d.setting].key; };
    for (const SettingDifference& difference : verify.differences) {
        context.out << settings::FormatDifference(difference, "file", "device")
                    << (Contains(tally.tooLongKeys, keyOf(difference)) ? " (too long to send)" : "")
                    << "\n";
    }
    if (verify.deviceAckMask) {
        context.out << "GACK: written \"" << settings::Cp1250ToPrintableUtf8(verify.ackMaskWritten)
                    << "\" device \"" << settings::Cp1250ToPrintableUtf8(*verify.deviceAckMask)
                    << "\"\n";
    }
    // A value too long to send never reached the device, even should the device hold it.
    for (const std::string& key : tally.tooLongKeys) {
        if (!exchange::Listed(verify, key)) {
            context.out << settings::Cp1250ToPrintableUtf8(key) << ": too long to send\n";
        }
    }
}

// The exit code of a write that did not complete as asked, its sentence on standard error.
int FailureExit(const CommandContext& context, const exchange::SequenceOutcome& outcome) {
    // The window's sentence, with what to do about it from here.
    const bool overwritten =
        outcome.Cut() && (outcome.holds == exchange::DeviceHolds::kPartial ||
                          outcome.holds == exchange::DeviceHolds::kWrittenNotVerified);
    const char* advice = outcome.ending == exchange::Ending::kNoBackup
                             ? "; --no-backup writes without one"
                             : (overwritten ? "; run write again" : "");
    context.err << settings::Cp1250ToPrintableUtf8(exchange::DescribeOutcome(outcome)) << advice
                << "\n";
    switch (outcome.ending) {
        case exchange::Ending::kStopped:
            return InterruptExitCode();
        case exchange::Ending::kNoBackup:
            return outcome.backupError == settings::kBackupReadIncomplete ? kExitNoDevice
                                                                          : kExitBadFile;
        case exchange::Ending::kVerifyFailed:
            return kExitMismatch;
        case exchange::Ending::kUnanswered:
            return exchange::FailedSettings(outcome) > 0 ? kExitMismatch : kExitNoDevice;
        default:
            return kExitNoDevice;
    }
}

// " (only what differed: 2 settings, 1 sector of the event tables)".
std::string WhatDiffered(const exchange::ChangesWritten& changes) {
    std::string text = " (only what differed: " + std::to_string(changes.parameters) +
                       (changes.parameters == 1 ? " setting" : " settings");
    if (changes.sectors > 0) {
        text += ", " + std::to_string(changes.sectors) +
                (changes.sectors == 1 ? " sector" : " sectors") + " of the event tables";
    }
    return text + ")";
}

// The write is a revision of the site (unless it sent nothing); a register problem is said.
void RecordWrite(const CommandContext& context, sites::RevisionKind kind,
                 const exchange::SequenceOutcome& outcome, const std::optional<std::string>& after,
                 const sites::DeviceFacts& device) {
    sites::RecordSequence(CommandRegister(), kind, outcome, after, device);
    SayRegisterNews(context.err);
}

}  // namespace

int RunWrite(const CommandContext& context, const std::string& path,
             const settings::SettingsFileContent& content, bool force, const BackupOptions& backup,
             sites::RevisionKind kind, bool all) {
    if (!ReportFindings(context, path, content, force)) {
        return kExitBadFile;
    }
    settings::SettingsModel written;
    settings::FillModelFromFile(content, written);
    const settings::SettingValues inFile = settings::ValuesOf(content);

    CommandRegister().Prepare();
    CommandDevice device(context);
    if (const int code = device.LogIn(); code != kExitOk) {
        return code;
    }
    auto writeStart = std::chrono::steady_clock::now();
    settings::BackupStore store(backup.folder);
    exchange::BackupRequest backupRequest;
    if (!backup.skip) {
        backupRequest.store = &store;
        backupRequest.taken = [&](const std::string& saved) {
            ReportBackup(context, writeStart, saved);
            writeStart = std::chrono::steady_clock::now();
        };
    }
    exchange::WriteRequest request;
    // The file holds no acknowledgement marks, so the device keeps its own.
    request.steps = exchange::kFileWriteSteps;
    request.settings = &written;
    request.modeIndex = content.ModeIndex();
    request.expected = ExpectedAfterLoad(inFile, written, request.modeIndex);
    request.stopCause = exchange::StopCause::kSignal;
    settings::HeldSettings held;
    settings::SettingsModel readBack;
    exchange::ChangesWritten changes;
    const exchange::SequenceOutcome outcome =
        all ? exchange::RunWrite(device.Session(), request, backupRequest, held, readBack)
            : exchange::RunChangesWrite(device.Session(), request, backupRequest, held, readBack,
                                        changes);
    RecordWrite(context, kind, outcome, sites::ReadBackBytes(outcome, readBack),
                {device.UsbPath(), held.Firmware(), held.AccountId()});
    if (outcome.verify && outcome.verify->Complete()) {
        ListDifferences(context, inFile, *outcome.verify, outcome.tally);
    }
    // Commands that went unanswered while the read-back matches left the device as the file.
    const bool matches = outcome.ending == exchange::Ending::kUnanswered && outcome.verify &&
                         outcome.verify->Complete() && exchange::FailedSettings(outcome) == 0;
    if (outcome.ending != exchange::Ending::kComplete && !matches) {
        return FailureExit(context, outcome);
    }
    if (matches) {
        context.err << settings::Cp1250ToPrintableUtf8(exchange::DescribeOutcome(outcome))
                    << ", but the read-back matches\n";
    }
    ReportWriteTime(context, writeStart);
    if (const int code = KeepDeviceState(context); code != kExitOk) {
        return code;
    }
    const int compared = static_cast<int>(settings::AllSettings().size());
    if (!all && changes.Nothing()) {
        context.out << "The device already holds " << path << " (verified: all " << compared
                    << " settings match the file; nothing was written)\n";
        return kExitOk;
    }
    // The window's sentence for a verified write first (unanswered commands whose read-back
    // matches end the same), then what was compared.
    const exchange::SequenceOutcome verified;
    context.out << exchange::DescribeOutcome(verified) << ": wrote " << path
                << " to the communicator" << (all ? "" : WhatDiffered(changes))
                << " and read it back; all " << compared
                << " settings (parameters, both event tables and the mode) match the file\n";
    return kExitOk;
}

}  // namespace quelvar::cli

#include "cli/WriteCommand.h"

#include <algorithm>

#include "cli/ExitCodes.h"
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

// Every difference on standard output; the number of settings that failed.
int ReportVerify(const CommandContext& context, const settings::SettingValues& inFile,
                 exchange::VerifyResult& verify, const exchange::UnansweredTally& tally) {
    std::vector<SettingDifference>& differences = verify.differences;
    // A missing key's line still says that the file lacks it.
    for (SettingDifference& difference : differences) {
        difference.first = inFile[difference.setting];
    }
    auto keyOf = [](const SettingDifference& d) { return settings::AllSettings()[d.setting].key; };
    for (const SettingDifference& difference : differences) {
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
    int failures = verify.Differing();
    for (const std::string& key : tally.tooLongKeys) {
        const bool listed =
            std::any_of(differences.begin(), differences.end(),
                        [&](const SettingDifference& d) { return keyOf(d) == key; });
        if (!listed) {
            context.out << settings::Cp1250ToPrintableUtf8(key) << ": too long to send\n";
            ++failures;
        }
    }
    return failures;
}

}  // namespace

int RunWrite(const CommandContext& context, const std::string& path,
             const settings::SettingsFileContent& content, bool force,
             const BackupOptions& backup) {
    if (!ReportFindings(context, path, content, force)) {
        return kExitBadFile;
    }
    settings::SettingsModel written;
    settings::FillModelFromFile(content, written);
    const int mode = content.ModeIndex();

    CommandDevice device(context);
    if (const int code = device.LogIn(); code != kExitOk) {
        return code;
    }
    if (const int code = BackUpBeforeWrite(context, device, backup); code != kExitOk) {
        return code;
    }
    const auto writeStart = std::chrono::steady_clock::now();
    exchange::DeviceSession& session = device.Session();
    // The file holds no acknowledgement marks, so the device keeps its own.
    const std::optional<std::string> ackMask = session.Get("GACK");
    if (!ackMask) {
        if (const int code = device.FaultExit(); code != kExitOk) {
            return code;
        }
        context.err << "The communicator did not answer the request for GACK; nothing written\n";
        return kExitNoDevice;
    }
    device.SetOutcomeIfCut("the device holds a partial configuration; run write again");
    const exchange::UnansweredTally tally = session.WriteEverything(written, mode, *ackMask);
    if (const int code = device.FaultExit(); code != kExitOk) {
        return code;
    }

    device.SetOutcomeIfCut("everything was written but not verified; run write again");
    const settings::SettingValues inFile = settings::ValuesOf(content);
    settings::SettingsModel readBack;
    exchange::VerifyResult verify =
        session.Verify(ExpectedAfterLoad(inFile, written, mode), *ackMask, readBack);
    if (const int code = device.FaultExit(); code != kExitOk) {
        return code;
    }
    if (!verify.Complete()) {
        context.err << IncompleteReadMessage(verify.read)
                    << " back, so the write cannot be verified\n";
        return kExitNoDevice;
    }

    const int compared = static_cast<int>(settings::AllSettings().size());
    if (const int failures = ReportVerify(context, inFile, verify, tally); failures > 0) {
        context.err << "Verify failed: " << failures << " of " << compared
                    << " settings on the communicator differ from " << path << "\n";
        return kExitMismatch;
    }
    if (!tally.Clean()) {
        context.err << "Note: " << tally.sets + tally.memoryRequests
                    << " commands went unanswered, but the read-back matches\n";
    }
    ReportWriteTime(context, writeStart);
    if (const int code = KeepDeviceState(context); code != kExitOk) {
        return code;
    }
    context.out << "Wrote " << path << " to the communicator and read it back: all " << compared
                << " settings (parameters, both event tables and the mode) match the file\n";
    return kExitOk;
}

}  // namespace quelvar::cli

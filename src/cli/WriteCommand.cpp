#include "cli/WriteCommand.h"

#include <algorithm>

#include "cli/ExitCodes.h"
#include "cli/Verify.h"
#include "settings/Cp1250.h"

namespace quelvar::cli {

namespace {

bool Contains(const std::vector<std::string>& keys, const std::string& key) {
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

}  // namespace

int RunWrite(const CommandContext& context, const std::string& path,
             const settings::SettingsFileContent& content) {
    settings::SettingsModel written;
    FillModelFromFile(content, written);
    const int mode = content.ModeIndex();

    CommandDevice device(context);
    if (const int code = device.LogIn(); code != kExitOk) {
        return code;
    }
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
    const exchange::UnansweredTally tally = session.WriteEverything(written, mode, *ackMask);
    if (const int code = device.FaultExit(); code != kExitOk) {
        return code;
    }

    settings::SettingsModel readBack;
    const exchange::ReadAllResult read = session.ReadEverything(readBack);
    if (const int code = device.FaultExit(); code != kExitOk) {
        return code;
    }
    if (!read.Complete()) {
        context.err << IncompleteReadMessage(read) << " back, so the write cannot be verified\n";
        return kExitNoDevice;
    }

    const Comparison comparison = CompareSettings(written, mode, readBack, read.modeIndex);
    for (const Difference& difference : comparison.differences) {
        context.out << FormatDifference(difference)
                    << (Contains(tally.tooLongKeys, difference.key) ? " (too long to send)" : "")
                    << "\n";
    }
    // A value too long to send never reached the device, even should the device hold it.
    int failures = static_cast<int>(comparison.differences.size());
    for (const std::string& key : tally.tooLongKeys) {
        const bool listed =
            std::any_of(comparison.differences.begin(), comparison.differences.end(),
                        [&](const Difference& d) { return d.key == key; });
        if (!listed) {
            context.out << settings::Cp1250ToUtf8(key) << ": too long to send\n";
            ++failures;
        }
    }
    if (failures > 0) {
        context.err << "Verify failed: " << failures << " of " << comparison.compared
                    << " settings on the communicator differ from " << path << "\n";
        return kExitMismatch;
    }
    if (!tally.Clean()) {
        context.err << "Note: " << tally.sets + tally.memoryRequests
                    << " commands went unanswered, but the read-back matches\n";
    }
    context.out << "Wrote " << path << " to the communicator and read it back: all "
                << comparison.compared << " settings match\n";
    return kExitOk;
}

}  // namespace quelvar::cli

#pragma once
// What loading a settings file into the model and onto the device (DeviceSession::
// LoadSettingsFile) did: every parameter shown and sent, both event grids filled and written to
// the device's memory. The mode is only returned; the window selects it, and the next write-back
// sends it.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "exchange/DeviceExchange.h"
#include "settings/Catalogue.h"
#include "settings/SettingsFile.h"

namespace quelvar::exchange {

struct SettingsLoadResult {
    int modeIndex = 0;
    // Too long to send: not sent, and their cells keep what they showed before.
    std::vector<std::string> tooLongKeys;
    // Parameter sends the device did not acknowledge.
    int unansweredSets = 0;
    // Erase and write requests of both event tables that went unanswered.
    int unansweredMemoryRequests = 0;
    std::optional<std::uint32_t> firstUnansweredAddress;
    // There was no device object, so nothing was sent at all.
    bool noDevice = false;
    // The device went away or silent (or the caller stopped the load): what was left unsent.
    bool stopped = false;
    int unsentSets = 0;

    // Every value sent and acknowledged.
    bool AllSent() const {
        return tooLongKeys.empty() && unansweredSets == 0 && unansweredMemoryRequests == 0 &&
               !noDevice && !stopped;
    }
};

}  // namespace quelvar::exchange

#pragma once
// A revision for what a device sequence did, the same from both programs: the read, a write of
// any kind, a load, a password change.

#include <optional>
#include <string>

#include "exchange/ProvisioningLine.h"
#include "exchange/Sequences.h"
#include "register/RegisterUse.h"
#include "settings/Catalogue.h"

namespace quelvar::sites {

// The device as the revision names it.
struct DeviceFacts {
    std::string usbPath;
    std::string firmware;
    std::string accountBefore;  // the site, should what the device holds after not be known
};

// The settings file of a set-up model and mode (what a revision keeps); nothing when a value
// cannot be held in a file.
std::optional<std::string> SettingsBytes(const settings::SettingsModel& model, int modeIndex);

// "verified", "verify failed: 3 settings differ", "cut: The device went away while ...".
std::string OutcomeWords(RevisionKind kind, const exchange::SequenceOutcome& outcome);

// Records the sequence: `after` is what the device holds now, when that is known (a complete
// read, a read-back that came whole, a load that was answered). The backup the outcome names
// is the revision's "before". Nothing when the register failed (see RegisterUse::TakeProblem),
// and nothing is recorded for a sequence that sent nothing (no backup, no marks, cut unchanged).
std::optional<std::int64_t> RecordSequence(RegisterUse& use, RevisionKind kind,
                                           const exchange::SequenceOutcome& outcome,
                                           const std::optional<std::string>& after,
                                           const DeviceFacts& device);

// A read of the whole device (the log-in's, the command line's read).
std::optional<std::int64_t> RecordRead(RegisterUse& use, const settings::SettingsModel& model,
                                       int modeIndex, const DeviceFacts& device);

// What a verify read back, when it read everything: the settings file it makes.
std::optional<std::string> ReadBackBytes(const exchange::SequenceOutcome& outcome,
                                         const settings::SettingsModel& readBack);

// A device's turn on the provisioning line: its write, and its password change when one ran.
void RecordProvisioned(RegisterUse& use, const std::string& usbPath,
                       const exchange::LineResult& result, const settings::SettingsModel& readBack);

}  // namespace quelvar::sites

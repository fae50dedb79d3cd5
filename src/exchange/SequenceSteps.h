#pragma once
// Steps that several device sequences share; only the sequences' own sources use them.

#include "exchange/Sequences.h"

namespace quelvar::exchange {

// Fills in how the session was cut, if it was; true when it was.
bool NoteCut(const DeviceSession& session, DeviceHolds holds, SequenceOutcome& outcome);
// The backup before the writes (reading the device first when `held` is stale); false when the
// sequence must not go on, its ending said in `outcome`.
bool TakeBackup(DeviceSession& session, const BackupRequest& backup, settings::HeldSettings& held,
                SequenceOutcome& outcome);

}  // namespace quelvar::exchange

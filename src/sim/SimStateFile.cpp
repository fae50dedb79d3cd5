#include "sim/SimStateFile.h"

namespace quelvar::sim {

std::string SimStateFile::Load(std::chrono::milliseconds wait, bool& inUse,
                               const std::function<bool()>& giveUp) {
    inUse = false;
    if (const std::string error = lock_.Acquire(path_ + ".lock", wait, giveUp); !error.empty()) {
        inUse = error == "in use";
        return inUse ? "The simulated communicator of " + path_ + " is in use by another run"
                     : error;
    }
    SimStateFileRead read = ReadSimStateFile(path_);
    if (read.missing) {
        return {};
    }
    if (!read.state) {
        return read.error;
    }
    RestoreState(sim_, *read.state);
    // Compared against what the simulator holds, so a state that names fewer parameters than
    // the simulator has still counts as unchanged.
    loaded_ = CaptureState(sim_);
    return {};
}

std::string SimStateFile::Save() {
    const SimState now = CaptureState(sim_);
    if (loaded_ && *loaded_ == now) {
        return {};
    }
    if (std::string error = WriteSimStateFile(path_, now); !error.empty()) {
        return error;
    }
    loaded_ = now;
    return {};
}

}  // namespace quelvar::sim

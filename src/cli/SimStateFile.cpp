#include "cli/SimStateFile.h"

namespace quelvar::cli {

std::string SimStateFile::Load(std::chrono::milliseconds wait, bool& inUse) {
    inUse = false;
    if (const std::string error = lock_.Acquire(path_ + ".lock", wait); !error.empty()) {
        inUse = error == "in use";
        return inUse ? "The simulated communicator of " + path_ + " is in use by another run"
                     : error;
    }
    sim::SimStateFileRead read = sim::ReadSimStateFile(path_);
    if (read.missing) {
        return {};
    }
    if (!read.state) {
        return read.error;
    }
    sim::RestoreState(sim_, *read.state);
    // Compared against what the simulator holds, so a state that names fewer parameters than
    // the simulator has still counts as unchanged.
    loaded_ = sim::CaptureState(sim_);
    return {};
}

std::string SimStateFile::Save() {
    const sim::SimState now = sim::CaptureState(sim_);
    if (loaded_ && *loaded_ == now) {
        return {};
    }
    if (std::string error = sim::WriteSimStateFile(path_, now); !error.empty()) {
        return error;
    }
    loaded_ = now;
    return {};
}

}  // namespace quelvar::cli

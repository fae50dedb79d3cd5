#include "cli/SimStateFile.h"

namespace quelvar::cli {

std::string SimStateFile::Load() {
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
        return "cannot save the simulator state: " + error;
    }
    loaded_ = now;
    return {};
}

}  // namespace quelvar::cli

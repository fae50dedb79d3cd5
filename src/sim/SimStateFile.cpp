#include "sim/SimStateFile.h"

#include <filesystem>
#include <system_error>

namespace quelvar::sim {

namespace {

// Beside the file itself, links (also one to a file not made yet) and "." and ".." resolved: a
// run that names the file through a link and one that names it directly lock the same file.
std::string LockPathOf(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path target = fs::absolute(fs::path(path), ec);
    if (ec) {
        return path + ".lock";
    }
    for (int hops = 0; hops < 40 && fs::is_symlink(fs::symlink_status(target, ec)); ++hops) {
        const fs::path next = fs::read_symlink(target, ec);
        if (ec) {
            break;
        }
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    const fs::path resolved = fs::weakly_canonical(target, ec);
    return (ec ? target : resolved).string() + ".lock";
}

}  // namespace

std::string SimStateFile::Load(std::chrono::milliseconds wait, bool& inUse,
                               const std::function<bool()>& giveUp) {
    inUse = false;
    if (const std::string error = lock_.Acquire(LockPathOf(path_), wait, giveUp); !error.empty()) {
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

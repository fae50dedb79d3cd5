#pragma once
// The simulated communicator's state file of one run: loaded at the start, saved after the
// sequences that changed it and at the end.

#include <chrono>
#include <optional>
#include <string>

#include "io/FileLock.h"
#include "sim/SimState.h"
#include "sim/SimulatedCommunicator.h"

namespace quelvar::sim {

class SimStateFile {
  public:
    SimStateFile(std::string path, SimulatedCommunicator& sim)
        : path_(std::move(path)), sim_(sim) {}

    // Locks the file for this run (waiting up to `wait` for another run to end), then puts its
    // state into the simulator; a missing file leaves it as it comes from the factory. Empty on
    // success, else the one-line reason (the lock, or the file is unreadable or no state);
    // `inUse` tells that another run held it past `wait`, or `giveUp` ended the wait.
    std::string Load(std::chrono::milliseconds wait, bool& inUse,
                     const std::function<bool()>& giveUp = {});
    // Writes the simulator's state when it changed since the last save (or load) or there was
    // no file yet. Call between device sequences (a sequence half done is no state to keep) or
    // once the run's connection is closed. Empty on success, else the one-line reason.
    std::string Save();

  private:
    std::string path_;
    SimulatedCommunicator& sim_;
    std::optional<SimState> loaded_;
    io::FileLock lock_;
};

}  // namespace quelvar::sim

#pragma once
// Several simulated communicators attached at once, behind one platform as the system's HID
// support is: each is listed under a path of its own, and a handle opened on that path is one
// of that communicator's. Each keeps its own state, timing, faults and plugging.

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "link/HidPlatform.h"
#include "sim/SimulatedCommunicator.h"

namespace quelvar::sim {

class SimulatedBus : public link::HidPlatform {
  public:
    // `count` communicators made with `options`, the seed counted up from each to the next.
    explicit SimulatedBus(std::size_t count, const SimulatedCommunicator::Options& options = {});

    std::size_t Count() const { return communicators_.size(); }
    SimulatedCommunicator& Communicator(std::size_t index) { return *communicators_.at(index); }
    // The path the communicator of this index is listed and opened under.
    static std::string PathOf(std::size_t index);

    // The platform seam: the plugged communicators in index order.
    std::vector<link::HidInterface> Enumerate() override;
    std::unique_ptr<link::HidReader> OpenReader(const std::string& path) override;
    std::unique_ptr<link::HidWriter> OpenWriter(const std::string& path) override;
    // The calling thread's last open, as on the system's platforms.
    link::OpenError LastOpenError() const override;

  private:
    // The communicator a path names; nullptr for any other path.
    SimulatedCommunicator* Find(const std::string& path);

    std::vector<std::unique_ptr<SimulatedCommunicator>> communicators_;
};

}  // namespace quelvar::sim

#include "sim/SimulatedBus.h"

namespace quelvar::sim {

namespace {

thread_local link::OpenError lastOpenError = link::OpenError::kNone;

}  // namespace

SimulatedBus::SimulatedBus(std::size_t count, const SimulatedCommunicator::Options& options) {
    SimulatedCommunicator::Options each = options;
    for (std::size_t i = 0; i < count; ++i, ++each.seed) {
        communicators_.push_back(std::make_unique<SimulatedCommunicator>(each));
    }
}

std::string SimulatedBus::PathOf(std::size_t index) {
    return std::string(kSimPath) + "#" + std::to_string(index + 1);
}

std::vector<link::HidInterface> SimulatedBus::Enumerate() {
    std::vector<link::HidInterface> interfaces;
    for (std::size_t i = 0; i < communicators_.size(); ++i) {
        // A communicator lists its one interface while plugged, under its own path.
        for (link::HidInterface& listed : communicators_[i]->Enumerate()) {
            listed.path = PathOf(i);
            interfaces.push_back(std::move(listed));
        }
    }
    return interfaces;
}

SimulatedCommunicator* SimulatedBus::Find(const std::string& path) {
    for (std::size_t i = 0; i < communicators_.size(); ++i) {
        if (path == PathOf(i)) {
            return communicators_[i].get();
        }
    }
    return nullptr;
}

std::unique_ptr<link::HidReader> SimulatedBus::OpenReader(const std::string& path) {
    SimulatedCommunicator* communicator = Find(path);
    if (communicator == nullptr) {
        lastOpenError = link::OpenError::kOther;
        return nullptr;
    }
    std::unique_ptr<link::HidReader> reader = communicator->OpenReader(kSimPath);
    lastOpenError = communicator->LastOpenError();
    return reader;
}

std::unique_ptr<link::HidWriter> SimulatedBus::OpenWriter(const std::string& path) {
    SimulatedCommunicator* communicator = Find(path);
    if (communicator == nullptr) {
        lastOpenError = link::OpenError::kOther;
        return nullptr;
    }
    std::unique_ptr<link::HidWriter> writer = communicator->OpenWriter(kSimPath);
    lastOpenError = communicator->LastOpenError();
    return writer;
}

link::OpenError SimulatedBus::LastOpenError() const {
    return lastOpenError;
}

}  // namespace quelvar::sim

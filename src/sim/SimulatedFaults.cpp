// The simulated communicator's fault switches: how a real device misbehaves on a bad cable, a
// slow bus or a failing flash, for the tests, the simulator window and the environment.

#include <cstdlib>

#include "sim/SimulatedCommunicator.h"

namespace quelvar::sim {

void SimulatedCommunicator::SetTiming(const TimingModel& timing) {
    std::lock_guard lock(mutex_);
    timing_ = timing;
}

void SimulatedCommunicator::SetDropRate(double rate) {
    std::lock_guard lock(mutex_);
    dropRate_ = rate;
}

void SimulatedCommunicator::DropNextAnswers(std::size_t count) {
    std::lock_guard lock(mutex_);
    dropNext_ = count;
}

void SimulatedCommunicator::DropAnswersTo(const std::set<std::size_t>& commandNumbers) {
    std::lock_guard lock(mutex_);
    dropNumbers_ = commandNumbers;
}

void SimulatedCommunicator::IgnoreCommand(std::uint8_t code, bool ignore) {
    std::lock_guard lock(mutex_);
    ignored_[code] = ignore;
}

void SimulatedCommunicator::SetWrongAddressReads(std::size_t count) {
    std::lock_guard lock(mutex_);
    wrongAddressReads_ = count;
}

void SimulatedCommunicator::ForgetNextBlockWrites(std::size_t count) {
    std::lock_guard lock(mutex_);
    forgottenWrites_ = count;
}

void SimulatedCommunicator::ForgetSetsOf(const std::set<std::string>& keys) {
    std::lock_guard lock(mutex_);
    forgottenKeys_ = keys;
}

void SimulatedCommunicator::DisconnectAfter(std::size_t commands) {
    std::lock_guard lock(mutex_);
    disconnectAfter_ = commands;
}

void SimulatedCommunicator::StopAnswering(std::size_t answered) {
    std::lock_guard lock(mutex_);
    answersLeft_ = answered;
}

void SimulatedCommunicator::AnswerAgain() {
    std::lock_guard lock(mutex_);
    answersLeft_.reset();
}

bool SimulatedCommunicator::AnsweringStopped() const {
    std::lock_guard lock(mutex_);
    return answersLeft_.has_value();
}

void SimulatedCommunicator::ApplyEnvironment() {
    const char* text = std::getenv("QUELVAR_SIM_SILENT_AFTER");
    if (text == nullptr || *text == '\0') {
        return;
    }
    char* end = nullptr;
    const unsigned long long answered = std::strtoull(text, &end, 10);
    if (*end == '\0' && text[0] != '-') {
        StopAnswering(static_cast<std::size_t>(answered));
    }
}

void SimulatedCommunicator::DenyPermission(bool deny) {
    std::lock_guard lock(mutex_);
    permissionDenied_ = deny;
}

link::OpenError SimulatedCommunicator::LastOpenError() const {
    std::lock_guard lock(mutex_);
    return lastOpenError_;
}

void SimulatedCommunicator::FailNextOpens(int readerFailures, int writerFailures) {
    std::lock_guard lock(mutex_);
    failReaderOpens_ = readerFailures;
    failWriterOpens_ = writerFailures;
}

}  // namespace quelvar::sim

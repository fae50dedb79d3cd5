#pragma once
// The simulated communicator: one HID interface behind the platform seam that answers like
// the device, sends status reports on its own, can be plugged and unplugged at any moment
// and can misbehave on request. Thread-safe.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "link/HidPlatform.h"
#include "sim/SimDevice.h"

namespace quelvar::sim {

inline constexpr const char* kSimPath = "sim:communicator";
inline constexpr const char* kSimHardwareId = "HID\\VID_04D8&PID_003F";

struct RecordedCommand {
    std::uint8_t code = 0;
    std::uint32_t address = 0;  // block and erase commands
    std::string text;           // parameter commands: the text from byte 5
    link::Report report{};
    std::chrono::steady_clock::time_point at{};  // when it arrived
};

// When an answer reaches the host after its command.
struct TimingModel {
    std::chrono::microseconds latency{0};
    // Deliver on whole multiples of `frame` since the simulator started (0: any moment),
    // like an interrupt endpoint polled once per frame.
    std::chrono::microseconds frame{0};
};

class SimulatedCommunicator : public link::HidPlatform {
  public:
    struct Options {
        bool pluggedIn = true;
        // Period of the unsolicited status reports; 0 sends none.
        std::chrono::milliseconds statusPeriod{0};
        std::uint32_t seed = 1;
    };

    SimulatedCommunicator();
    explicit SimulatedCommunicator(const Options& options);
    ~SimulatedCommunicator() override;

    // The platform seam. No interface while unplugged; no handle while unplugged, for another
    // path, while DenyPermission holds or for a failure FailNextOpens asks for, LastOpenError
    // telling kPermissionDenied or kOther.
    std::vector<link::HidInterface> Enumerate() override;
    std::unique_ptr<link::HidReader> OpenReader(const std::string& path) override;
    std::unique_ptr<link::HidWriter> OpenWriter(const std::string& path) override;

    // Plugging, which never fails: unplugging fails every open handle, as pulling the cable
    // does.
    void Plug();
    void Unplug();
    bool IsPlugged() const;
    int OpenHandleCount() const;
    int EnumerateCount() const;

    // The device's state, for tests and the command line, as SimDevice's: a parameter it lacks
    // reads empty, memory outside it reads erased and takes no writes.
    std::string Parameter(const std::string& key) const;
    void SetParameter(const std::string& key, const std::string& value);
    std::vector<std::uint8_t> ReadMemory(std::uint32_t address, std::size_t length) const;
    void LoadMemory(std::uint32_t address, const std::vector<std::uint8_t>& bytes);
    std::map<std::string, std::string> Parameters() const;

    // Unsolicited reports: one status text now, a raw report now, or `count` copies at once.
    // Lost while unplugged, as the cable would lose them, and heard only by readers open then.
    void SendStatus(std::uint8_t code, const std::string& text);
    void SendReport(const link::Report& report);
    void Flood(std::size_t count, std::uint8_t code, const std::string& text);
    void SetStatusPeriod(std::chrono::milliseconds period);
    // What the status rounds report. A signal level (clamped to 0..31) holds it still; none
    // lets it wander as a moved antenna's would.
    struct StatusTexts {
        std::optional<int> signal;
        std::string line = "ONHOOK";
        std::string input1 = "IDLE";
        std::string input2 = "IDLE";
    };
    void SetStatusTexts(const StatusTexts& texts);
    StatusTexts GetStatusTexts() const;
    // One line for the list of events, now, lost like the reports above; a text longer than a
    // report holds is cut.
    void SendEventLine(const std::string& text);

    // Every command received, in order.
    std::vector<RecordedCommand> Commands() const;
    std::size_t CommandCount() const;
    void ClearCommands();

    // Faults. Setting one never fails; a count or set replaces the one set before.
    void SetTiming(const TimingModel& timing);
    void SetDropRate(double rate);            // share of answers lost, seeded
    void DropNextAnswers(std::size_t count);  // the next `count` answers are lost
    // The answers to these commands are lost, counted from 1 in the record of commands.
    void DropAnswersTo(const std::set<std::size_t>& commandNumbers);
    void IgnoreCommand(std::uint8_t code, bool ignore = true);  // never answer this code
    void SetWrongAddressReads(std::size_t count);  // next reads answer the following block
    // The next `count` block writes are acknowledged but not stored, as a failing flash does.
    void ForgetNextBlockWrites(std::size_t count);
    // Sets of these keys are acknowledged but not stored, as a device that keeps its own does.
    void ForgetSetsOf(const std::set<std::string>& keys);
    void DisconnectAfter(std::size_t commands);  // unplug when this many more have come
    // A hung device: it stays attached and keeps its status rounds, but after answering
    // `answered` more commands it neither answers nor carries out any, until AnswerAgain.
    void StopAnswering(std::size_t answered = 0);
    void AnswerAgain();
    bool AnsweringStopped() const;  // StopAnswering holds (its count may not be used up yet)
    // The next so many reader and writer opens fail, as kOther.
    void FailNextOpens(int readerFailures, int writerFailures);
    // While on, every open fails as it does without access rights to the device node.
    void DenyPermission(bool deny);
    link::OpenError LastOpenError() const override;
    // QUELVAR_SIM_SILENT_AFTER=N: the device answers its first N commands from now on, then
    // stops answering (0: none at all). Nothing when the variable is unset or no number.
    void ApplyEnvironment();

  private:
    class Reader;
    class Writer;
    struct ReaderQueue;
    struct Pending {
        std::chrono::steady_clock::time_point due;
        link::Report report;
    };

    bool HandleCommand(std::uint64_t generation, const link::Report& report);
    std::optional<link::Report> AnswerLocked(const link::Report& report);
    void DeliverLocked(const link::Report& report);
    std::chrono::steady_clock::time_point DueLocked() const;
    void UnplugLocked();
    void Worker();
    void SendPeriodicStatusLocked();

    mutable std::mutex mutex_;
    std::condition_variable wake_;      // the worker: timed answers, status reports
    std::condition_variable readable_;  // readers: a report, an unplug or a cancel
    SimDevice device_;
    bool plugged_;
    std::uint64_t generation_ = 1;
    bool stopping_ = false;
    std::vector<std::shared_ptr<ReaderQueue>> readers_;
    int openHandles_ = 0;
    int enumerations_ = 0;
    std::vector<RecordedCommand> commands_;
    std::deque<Pending> pending_;
    TimingModel timing_;
    std::chrono::steady_clock::time_point start_;
    std::chrono::milliseconds statusPeriod_;
    std::chrono::steady_clock::time_point nextStatus_;
    std::mt19937 random_;
    int signal_ = 18;
    StatusTexts statusTexts_;
    unsigned statusRounds_ = 0;
    double dropRate_ = 0;
    std::size_t dropNext_ = 0;
    std::set<std::size_t> dropNumbers_;
    std::size_t wrongAddressReads_ = 0;
    std::size_t forgottenWrites_ = 0;
    std::set<std::string> forgottenKeys_;
    std::optional<std::size_t> disconnectAfter_;
    std::optional<std::size_t> answersLeft_;  // set while StopAnswering holds
    bool ignored_[256] = {};
    int failReaderOpens_ = 0;
    int failWriterOpens_ = 0;
    bool permissionDenied_ = false;
    link::OpenError lastOpenError_ = link::OpenError::kNone;
    std::thread worker_;
};

}  // namespace quelvar::sim

#pragma once
// Timed runs of the window's device sequences against the simulated communicator with a
// USB timing model: an answer is ready 1 ms after its command, on 1 ms frame boundaries.

#include <QString>
#include <chrono>
#include <string>

namespace quelvar::bench {

inline constexpr std::chrono::microseconds kLatency{1000};
inline constexpr std::chrono::microseconds kFrame{1000};
// The best an exchange can do under the model: one latency plus waiting for the next frame.
inline constexpr double kRoundTripMs = 2.0;

struct Run {
    double ms = 0;
    std::size_t exchanges = 0;
    double longestLoopGapMs = 0;

    double Bound() const { return exchanges * kRoundTripMs; }
    double Ratio() const { return exchanges ? ms / Bound() : 0; }
};

struct SequenceRuns {
    Run logInRead;
    Run writeBack;  // the writes, then the read-back that verifies them
    Run settingsLoad;
    Run settingsSave;
};

// Log-in and initial read, write-back, settings-file load and save, in one window.
// `pollingSleep` > 0 makes the link wait by polling with sleeps of that length.
SequenceRuns MeasureSequences(
    const QString& folder, std::chrono::microseconds pollingSleep = std::chrono::microseconds(0));

// Only the log-in and initial read, in a fresh window.
Run MeasureLogInRead(std::chrono::microseconds pollingSleep);

}  // namespace quelvar::bench

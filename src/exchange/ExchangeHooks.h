#pragma once
// What the device exchanges need from whoever runs them (the window, a test, the command
// line): where to show activity, the monitor timer's state, and a way to let pending window
// messages run, for the exchange's whole life; and, given with each memory transfer, where its
// progress goes and when it stops. Every hook may be left empty.

#include <functional>
#include <string>

namespace quelvar::exchange {

struct ExchangeHooks {
    // Status panel 2: "Settings changing..." while a parameter is set, then empty.
    std::function<void(const std::string&)> writeStatus;
    // The connection monitor's timer, noted before and given back after a memory transfer.
    std::function<bool()> timerEnabled;
    std::function<void(bool)> setTimerEnabled;
    // Processes pending window messages once.
    std::function<void()> processMessages;
};

// Given with one memory transfer.
struct TransferHooks {
    // Position within 0..maximum after each block (and 0 at the start and end of each pass).
    std::function<void(int position, int maximum)> progress;
    // True once the caller wants it stopped: no further block is sent.
    std::function<bool()> stopRequested;
};

}  // namespace quelvar::exchange

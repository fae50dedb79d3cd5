#pragma once
// What the device exchanges need from whoever runs them (the window, a test, the command
// line): where to show activity and progress, the monitor timer's state, and a way to let
// pending window messages run. Every hook may be left empty.

#include <functional>
#include <string>

namespace quelvar::exchange {

struct ExchangeHooks {
    // Status panel 2: "Settings changing..." while a parameter is set, then empty.
    std::function<void(const std::string&)> writeStatus;
    // The progress bar: position within 0..maximum.
    std::function<void(int position, int maximum)> progress;
    // The connection monitor's timer, noted before and given back after a memory transfer.
    std::function<bool()> timerEnabled;
    std::function<void(bool)> setTimerEnabled;
    // Processes pending window messages once.
    std::function<void()> processMessages;
    // True once the user asked to stop: a memory transfer sends no further block.
    std::function<bool()> stopRequested;
};

}  // namespace quelvar::exchange

#pragma once
// Ends the test program, naming what it was doing, when something armed takes longer than its
// limit: a hang then fails at once, with its place, instead of stalling the run until the CI
// gives up.

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

namespace quelvar::test {

class Watchdog {
  public:
    explicit Watchdog(std::chrono::steady_clock::duration limit)
        : limit_(limit), thread_([this] {
              std::unique_lock lock(mutex_);
              while (!stop_) {
                  if (armed_ && std::chrono::steady_clock::now() > deadline_) {
                      std::fprintf(stderr, "FAIL: no progress at %s\n", what_.c_str());
                      std::abort();
                  }
                  wake_.wait_for(lock, std::chrono::milliseconds(200));
              }
          }) {}
    ~Watchdog() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    // Starts the clock again for `what`.
    void Arm(const std::string& what) {
        std::lock_guard lock(mutex_);
        what_ = what;
        deadline_ = std::chrono::steady_clock::now() + limit_;
        armed_ = true;
    }
    void Disarm() {
        std::lock_guard lock(mutex_);
        armed_ = false;
    }

  private:
    const std::chrono::steady_clock::duration limit_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    bool armed_ = false;
    std::string what_;
    std::chrono::steady_clock::time_point deadline_;
    std::thread thread_;
};

}  // namespace quelvar::test

#pragma once
// A monotonic clock that moves only when the code under test sleeps: each
// sleep advances it by the time asked for (and, with `realMicrosPerSleep`,
// yields that long in real time so that other threads get to run).
#include <atomic>
#include <chrono>
#include <thread>

#include "core/clock.h"

class SteppedClock {
 public:
  explicit SteppedClock(int64_t realMicrosPerSleep = 0) {
    now_ = 1000000000;
    realMicros_ = realMicrosPerSleep;
    previous_ = SetClockSource({realClock.processMicros, Now, realClock.wallSeconds, Sleep});
  }
  ~SteppedClock() { SetClockSource(previous_); }
  SteppedClock(const SteppedClock &) = delete;
  SteppedClock &operator=(const SteppedClock &) = delete;

  static int64_t Now() { return now_; }
  static void Advance(int64_t micros) { now_ += micros; }

 private:
  static void Sleep(int64_t micros) {
    now_ += micros;
    if (realMicros_ > 0) std::this_thread::sleep_for(std::chrono::microseconds(realMicros_));
  }
  static inline std::atomic<int64_t> now_{0};
  static inline int64_t realMicros_ = 0;
  ClockSource previous_;
};

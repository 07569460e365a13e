#include "tests/support/test_clock.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace {
std::atomic<int64_t> drivenNow{0};
std::atomic<int64_t> drivenOverhead{0};
std::atomic<void (*)(int64_t)> drivenHook{nullptr};

int64_t DrivenMonotonic() { return drivenNow; }

void DrivenSleep(int64_t micros) {
  int64_t now = drivenNow += (micros > 0 ? micros : 0) + drivenOverhead;
  std::this_thread::sleep_for(std::chrono::microseconds(1));
  if (auto hook = drivenHook.load()) hook(now);
}

std::atomic<int> fastFactor{1};
std::atomic<int64_t> fastBase{0};

int64_t FastMonotonic() {
  int64_t real = realClock.monotonicMicros();
  return fastBase + (real - fastBase) * fastFactor;
}

void FastSleep(int64_t micros) {
  std::this_thread::sleep_for(std::chrono::microseconds(micros / fastFactor));
}
}  // namespace

ClockSource InstallDrivenClock(int64_t overheadMicros, void (*afterSleep)(int64_t now)) {
  drivenNow = 1000000000;  // any start; only differences count
  drivenOverhead = overheadMicros;
  drivenHook = afterSleep;
  return SetClockSource(
      {realClock.processMicros, DrivenMonotonic, realClock.wallSeconds, DrivenSleep});
}

int64_t DrivenMicros() { return drivenNow; }

ClockSource InstallFastClock(int factor) {
  fastFactor = factor;
  fastBase = realClock.monotonicMicros();
  return SetClockSource({realClock.processMicros, FastMonotonic, realClock.wallSeconds, FastSleep});
}

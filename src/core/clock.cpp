#include "core/clock.h"

#include <time.h>

#include <atomic>

namespace {
int64_t RealProcessMicros() { return static_cast<int64_t>(clock()) * (1000000 / CLOCKS_PER_SEC); }

int64_t RealMonotonicMicros() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

time_t RealWallSeconds() { return time(nullptr); }

void RealSleepMicros(int64_t micros) {
  if (micros <= 0) return;
  timespec ts{static_cast<time_t>(micros / 1000000), static_cast<long>((micros % 1000000) * 1000)};
  while (nanosleep(&ts, &ts) != 0) {
  }
}

std::atomic<const ClockSource *> active{&realClock};
ClockSource installed;
}  // namespace

const ClockSource realClock{RealProcessMicros, RealMonotonicMicros, RealWallSeconds,
                            RealSleepMicros};

ClockSource SetClockSource(const ClockSource &source) {
  ClockSource previous = *active.load();
  installed = source;
  active.store(&installed);
  return previous;
}

int64_t ProcessTimeMicros() { return active.load()->processMicros(); }
int64_t MonotonicMicros() { return active.load()->monotonicMicros(); }
time_t WallSeconds() { return active.load()->wallSeconds(); }
void SleepMicros(int64_t micros) { active.load()->sleepMicros(micros); }

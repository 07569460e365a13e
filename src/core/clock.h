#pragma once
// The clocks the program reads and the sleeps it takes, behind one switch so
// that tests can drive time deterministically where they need to.
#include <cstdint>
#include <ctime>

struct ClockSource {
  int64_t (*processMicros)();  // processor time of the whole process
  int64_t (*monotonicMicros)();
  time_t (*wallSeconds)();
  void (*sleepMicros)(int64_t micros);
};

// The real clocks.
extern const ClockSource realClock;

// Installs another source (tests); returns the previous one.
ClockSource SetClockSource(const ClockSource &source);

int64_t ProcessTimeMicros();
int64_t MonotonicMicros();
time_t WallSeconds();
void SleepMicros(int64_t micros);
inline void SleepMillis(int64_t millis) { SleepMicros(millis * 1000); }
inline void SleepSeconds(int64_t seconds) { SleepMicros(seconds * 1000000); }

// Milliseconds of monotonic time since `startMicros`, an earlier
// MonotonicMicros() reading. Waits are measured with it, never by counting
// their sleeps: a busy machine stretches every sleep, not the elapsed time.
inline int64_t MillisSince(int64_t startMicros) { return (MonotonicMicros() - startMicros) / 1000; }

#pragma once
// Clocks for tests of waits measured in elapsed time. Both return the clock
// they replaced; put it back with SetClockSource before the test ends.
#include <cstdint>

#include "core/clock.h"

// Time that passes only when the code under test sleeps. A sleep of m µs
// moves the monotonic clock by m plus `overheadMicros`, as a busy machine
// lengthens every sleep; each sleep also yields for a moment of real time so
// that other threads run. `afterSleep`, when given, runs after each sleep
// with the new time (to stop a loop, or note when something happened).
ClockSource InstallDrivenClock(int64_t overheadMicros, void (*afterSleep)(int64_t now) = nullptr);
int64_t DrivenMicros();

// Real time run `factor` times faster: every sleep is that much shorter and
// the monotonic clock that much quicker, so a 1.5 s time-out passes in
// 1.5 s / factor.
ClockSource InstallFastClock(int factor);

#include "sim/world/timed_actions.h"

#include <gtest/gtest.h>

#include <atomic>

#include "tests/support/wait.h"

// A repeated step goes on until the stop, and a stop while the thread waits
// for a step far ahead drops it safely; a new start begins with none.
TEST(TimedActions, EveryRepeatsUntilStoppedAndAStopWhileWaitingDropsWhatIsDue) {
  TimedActions actions;
  std::atomic<int> steps{0}, late{0};
  actions.Start();
  actions.Every(0.001, [&] { steps++; });
  EXPECT_TRUE(WaitUntil([&] { return steps >= 3; }, 30));
  actions.After(3600, [&] { late++; });
  actions.Stop();
  int stopped = steps;
  actions.Start();
  actions.After(0, [&] { late += 10; });
  EXPECT_TRUE(WaitUntil([&] { return late == 10; }, 30));
  actions.Stop();
  EXPECT_EQ(steps, stopped) << "no step after the stop";
}

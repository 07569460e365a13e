#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "core/clock.h"
#include "core/log.h"
#include "core/threads.h"
#include "core/works.h"
#include "tests/support/sandbox.h"

namespace {
void FastSleep(int64_t micros) {
  std::this_thread::sleep_for(std::chrono::microseconds(micros / 10000));
}

class AggFW : public ::testing::Test {
 protected:
  void SetUp() override {
    previous = SetClockSource(
        {realClock.processMicros, realClock.monotonicMicros, realClock.wallSeconds, FastSleep});
    box.Write(box.P().updateMarker, "");
  }
  void TearDown() override { SetClockSource(previous); }
  TestSandbox box;
  TestWorks works;
  LogCapture log;
  ClockSource previous;
};
}  // namespace

TEST_F(AggFW, RemovesTheUpdateMarkerAfterThirtySeconds) {
  AggFWThread(works.works);
  EXPECT_FALSE(std::filesystem::exists(box.P().updateMarker));
  EXPECT_TRUE(log.ErrHas("--------- END THREAD AGG FW!!!\n"));
}

TEST_F(AggFW, FailedRemountKeepsTheMarkerAndSaysWhy) {
  box.Write(box.Root() + "/bin/mount", "#!/bin/sh\nexit 3\n");
  AggFWThread(works.works);
  EXPECT_TRUE(std::filesystem::exists(box.P().updateMarker));
  EXPECT_TRUE(log.SysHas("can't mount rw " + box.P().setDir + "/ error", LOG_PRIO_ERR));
  EXPECT_FALSE(log.ErrHas("END THREAD AGG FW"));
}

TEST_F(AggFW, AStopBeforeThirtySecondsLeavesTheMarker) {
  works->core.running = 0;
  AggFWThread(works.works);
  EXPECT_TRUE(std::filesystem::exists(box.P().updateMarker));
}

#include "core/stop_signals.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

// The handlers and a pending stop are process-wide, so each case runs in a
// child process of its own and reports through its exit status.
namespace {
using testing::ExitedWithCode;

void ExitWithFlag(const std::atomic<int32_t> &running, int32_t expected) {
  _exit(running == expected ? 0 : 1);
}
}  // namespace

TEST(StopSignals, TermAndIntClearTheRunFlagAndTheProcessGoesOn) {
  for (int signal : {SIGTERM, SIGINT}) {
    EXPECT_EXIT(
        {
          StopOnSignals();
          std::atomic<int32_t> running{1};
          WatchRunFlag(&running);
          raise(signal);
          ExitWithFlag(running, 0);
        },
        ExitedWithCode(0), "")
        << strsignal(signal);
  }
}

TEST(StopSignals, ASignalBeforeTheRecordExistsStopsTheUnitOnceItDoes) {
  EXPECT_EXIT(
      {
        StopOnSignals();
        raise(SIGTERM);
        std::atomic<int32_t> running{1};
        WatchRunFlag(&running);
        ExitWithFlag(running, 0);
      },
      ExitedWithCode(0), "");
}

TEST(StopSignals, ASignalAfterTheShutdownTouchesNoRecord) {
  EXPECT_EXIT(
      {
        StopOnSignals();
        std::atomic<int32_t> running{1};
        WatchRunFlag(&running);
        WatchRunFlag(nullptr);
        raise(SIGINT);
        ExitWithFlag(running, 1);
      },
      ExitedWithCode(0), "");
}

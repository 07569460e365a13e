// The link's reply time-out is elapsed time since the last write, however
// long each of its 1 ms looks for a byte really takes.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include "amplifier/commands.h"
#include "amplifier/link.h"
#include "core/log.h"
#include "core/works.h"
#include "tests/support/sandbox.h"
#include "tests/support/test_clock.h"

namespace {
// The link's end of a socket pair whose far end never answers.
struct SilentPort {
  SilentPort() { socketpair(AF_UNIX, SOCK_STREAM, 0, fds); }
  ~SilentPort() {
    close(fds[0]);
    close(fds[1]);
  }
  int fds[2] = {-1, -1};
};

// Sends `state`'s command and runs the link until the exchange fails;
// returns the time waited, in µs of the driven clock.
int64_t WaitForFailedExchange(Works *works, int32_t state) {
  works->link.linearProcessStatus = state;
  RunLinearState(works);
  int64_t sent = DrivenMicros();
  int32_t failures = works->link.retryTotal;
  while (works->link.retryTotal == failures) RunLinearState(works);
  return DrivenMicros() - sent;
}
}  // namespace

TEST(ReplyTimeout, IsOneAndAHalfSecondsOfElapsedTimeWhateverThePollPeriod) {
  // A 1 ms look for a byte that really takes 1 ms, 2.7 ms, 10 ms or 41 ms.
  for (int64_t overhead : {0, 1700, 9000, 40000}) {
    SCOPED_TRACE(overhead);
    TestWorks works;
    LogCapture log;
    SilentPort port;
    works->link.linFD = port.fds[0];
    ClockSource previous = InstallDrivenClock(overhead);
    int64_t poll = 1000 + overhead;

    int64_t waited = WaitForFailedExchange(works.works, CMD_FM);
    EXPECT_GE(waited, REPLY_TIMEOUT_MS * 1000);
    EXPECT_LT(waited, REPLY_TIMEOUT_MS * 1000 + poll);
    EXPECT_EQ(works->link.linearProcessStatus, CMD_FM);  // the same command again

    // Each resend starts the time-out anew.
    waited = WaitForFailedExchange(works.works, CMD_FM);
    EXPECT_GE(waited, REPLY_TIMEOUT_MS * 1000);
    EXPECT_LT(waited, REPLY_TIMEOUT_MS * 1000 + poll);
    SetClockSource(previous);
    EXPECT_EQ(works->link.retryTotal, 2);
  }
}

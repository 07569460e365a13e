// The link thread over a pseudo-terminal: framing, the drain of the queue,
// retries and a port that fails.
#include "amplifier/link.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "amplifier/cmd_queue.h"
#include "amplifier/commands.h"
#include "amplifier/errors.h"
#include "core/clock.h"
#include "core/log.h"
#include "core/works.h"
#include "settings/setup_record.h"
#include "tests/amplifier/scripted_amp.h"
#include "tests/support/sandbox.h"
#include "tests/support/wait.h"

namespace {
// Pauses and reply time-outs ten times shorter; the sequence is unchanged.
void TenfoldSleep(int64_t micros) {
  std::this_thread::sleep_for(std::chrono::microseconds(micros / 10));
}

class LinkThread : public ::testing::Test {
 protected:
  void SetUp() override {
    previous = SetClockSource(
        {realClock.processMicros, realClock.monotonicMicros, realClock.wallSeconds, TenfoldSleep});
    works->core.running = 1;
    works->errors.errMask = 0;
    port = box.P().Device(works->cfg.setup->LinPort);
  }
  void TearDown() override {
    works->core.running = 0;
    if (link.joinable()) link.join();
    amp.Stop();
    SetClockSource(previous);
  }
  void Start() { link = std::thread(Linear, works.works); }
  bool Heard(const std::string &command, int times = 1) {
    return WaitUntil([&] { return amp.Count(command) >= times; });
  }

  TestSandbox box;
  TestWorks works;
  LogCapture log;
  ClockSource previous;
  std::string port;
  std::function<std::string(const std::string &)> script = EchoReply;
  ScriptedAmp amp{[this](const std::string &c) { return script(c); }};
  std::thread link;
};
}  // namespace

TEST_F(LinkThread, OneQueuedCommandGoesOutAfterEachStatusPoll) {
  ASSERT_TRUE(amp.Start(port));
  for (int32_t c : {CMD_MP0, CMD_SA, CMD_CP}) IncPNTIn_CMDLinear(c, works.works);
  Start();
  ASSERT_TRUE(Heard("FM;", 2));
  std::vector<std::string> got = amp.Received();
  got.resize(8);
  EXPECT_EQ(got, (std::vector<std::string>{"ST;", "MP0;", "ST;", "SA1;", "ST;", "CPFFFF;", "ST;",
                                           "FM;"}));
  EXPECT_TRUE(log.ErrHas("OK works->linFD="));
  EXPECT_EQ(works->errors.errMask, 0);
}

TEST_F(LinkThread, WithPriorityTheQueueGoesOutBackToBack) {
  ASSERT_TRUE(amp.Start(port));
  for (int32_t c : {CMD_MP1, CMD_AT_FULL, CMD_AB0}) IncPNTIn_CMDLinear(c, works.works);
  works->link.cmdPriority = 1;
  Start();
  ASSERT_TRUE(Heard("ST;", 2));
  std::vector<std::string> got = amp.Received();
  got.resize(5);
  EXPECT_EQ(got, (std::vector<std::string>{"ST;", "MP1;", "AT11;", "AB0;", "ST;"}));
  EXPECT_EQ(works->link.cmdPriority, 0);
}

TEST_F(LinkThread, SilenceGivesThreeResendsThenStopAndErrorFourOncePerHoldOff) {
  script = [](const std::string &c) { return c == "TS0001000200030004;" ? "" : EchoReply(c); };
  works->cfg.sogliaTS[0] = 1;
  works->cfg.sogliaTS[1] = 2;
  works->cfg.sogliaTS[2] = 3;
  works->cfg.sogliaTS[3] = 4;
  ASSERT_TRUE(amp.Start(port));
  IncPNTIn_CMDLinear(CMD_TS, works.works);
  Start();
  ASSERT_TRUE(WaitUntil([&] { return log.ErrHas("STOP RETRAY!! TS"); }, 30));
  EXPECT_EQ(amp.Count("TS0001000200030004;"), 4);
  EXPECT_EQ(log.ErrCount(" ERROR LINEAR: RETRAY TS"), 3);
  EXPECT_TRUE(
      log.ErrHas("---------------------------------------STOP RETRAY!! TS (4, 3) Restart da "
                 "ST (Timer: 2000)\n"));
  EXPECT_EQ(ExistError(works.works, ERR_COMM), 1);
  EXPECT_STREQ(GetErrDescr(works.works, ERR_COMM).line2, "Err TS");
  EXPECT_EQ(works->link.retryStops, 1);
  // Polling starts again with "ST;", and a second failure within the hold-off
  // does not raise the error again.
  ASSERT_TRUE(Heard("ST;", 2));
  std::vector<std::string> got = amp.Received();
  auto last = std::find(got.rbegin(), got.rend(), "TS0001000200030004;");
  ASSERT_NE(last, got.rbegin());
  EXPECT_EQ(*(last - 1), "ST;");
  DeleteErrore(works.works, ERR_COMM);
  IncPNTIn_CMDLinear(CMD_TS, works.works);
  ASSERT_TRUE(WaitUntil([&] { return works->link.retryStops == 2; }, 30));
  EXPECT_EQ(ExistError(works.works, ERR_COMM), 0);
}

TEST_F(LinkThread, AMissingPortIsRetriedCalmlyAndALostOneReopened) {
  Start();
  ASSERT_TRUE(WaitUntil([&] { return log.SysHas("Unable to open device", LOG_PRIO_ERR); }));
  EXPECT_EQ(works->core.linkErrState, 1);
  EXPECT_EQ(GetLinkErrorMessage(works.works), "Linear: Unable to open device " + port);
  // Each attempt waits as long as a reply would: the retries count slowly.
  ASSERT_TRUE(WaitUntil([&] { return works->link.retryTotal >= 2; }));
  EXPECT_LT(works->link.retryTotal, 20);
  EXPECT_EQ(log.ErrCount("Unable to open device"), 1);  // reported once

  ASSERT_TRUE(amp.Start(port));
  ASSERT_TRUE(Heard("ST;", 2));
  EXPECT_EQ(works->core.linkErrState, -1);  // the screen drops the message

  amp.Stop();  // the far end goes away: writes fail, the port is closed
  ASSERT_TRUE(WaitUntil([&] { return log.SysHas("does not take commands", LOG_PRIO_ERR); }));
  ScriptedAmp again(EchoReply);
  ASSERT_TRUE(again.Start(port));
  EXPECT_TRUE(WaitUntil([&] { return again.Count("ST;") >= 2; }));
  works->core.running = 0;
  link.join();
}

TEST_F(LinkThread, CommandsCarryTheRecordsValuesWhenTheyAreSent) {
  ASSERT_TRUE(amp.Start(port));
  works->cfg.filterMask = 0x20;
  works->link.currentFreq = 7074000;
  works->tuner.tuneVal = 0x00812345;
  works->cfg.FreqSensIn = 1;
  works->cfg.FreqPeriodTime = 250;
  works->cfg.Attenuator = 2;
  works->thermal.fanLevel = 45;
  works->thermal.fanPending = 1;
  for (int32_t c : {CMD_SF_SET, CMD_FA, CMD_MT_SET, CMD_FS, CMD_AT, CMD_FN, CMD_MT_BYPASS,
                    CMD_MT_CLEAR, CMD_AB1})
    IncPNTIn_CMDLinear(c, works.works);
  works->link.cmdPriority = 1;
  Start();
  ASSERT_TRUE(Heard("AB1;"));
  std::vector<std::string> got = amp.Received();
  EXPECT_EQ(got, (std::vector<std::string>{"ST;", "SF3000020;", "FA00007074000;", "MT100812345;",
                                           "FS10025;", "AT10;", "FN1045;", "MT100012345;",
                                           "MT100800000;", "AB1;"}));
  EXPECT_EQ(works->thermal.fanPending, 0);
  EXPECT_EQ(works->link.fanLevelSent, 45);
  EXPECT_EQ(works->link.atuBypass, 0);
  EXPECT_EQ(works->tuner.valL, 0);
  EXPECT_EQ(works->link.bypassCmd, 1);
  EXPECT_EQ(works->link.attDisplay, 4);
  EXPECT_TRUE(log.ErrHas(">> SF3000020;\n"));
  EXPECT_TRUE(log.ErrHas(">> AT10;\n"));
}

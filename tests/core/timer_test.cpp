#include "core/timer.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "amplifier/cmd_queue.h"
#include "amplifier/commands.h"
#include "amplifier/errors.h"
#include "core/clock.h"
#include "core/log.h"
#include "core/works.h"
#include "tests/support/sandbox.h"
#include "transceiver/tavo_params.h"
#include "tuner/banks.h"

namespace {
// Each pass's pause costs `processStep` of processor time; the wall clock is
// set by the test.
int64_t processNow = 0, processStep = 0;
time_t wallNow = 1000000;
int64_t FakeProcess() { return processNow; }
time_t FakeWall() { return wallNow; }
void FakeSleep(int64_t) { processNow += processStep; }

class TimerPassTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous = SetClockSource({FakeProcess, realClock.monotonicMicros, FakeWall, FakeSleep});
    processNow = 0;
    processStep = 1000;
    works->core.lastActivity = wallNow;
    works->core.lanInfoTime = wallNow;  // no network-information thread in these tests
    works->core.forceFreq = 0;
    works->errors.errMask = 0;
  }
  void TearDown() override { SetClockSource(previous); }

  void Passes(int n) {
    for (int i = 0; i < n; i++) TimerPass(works.works, ctx);
  }
  std::vector<int32_t> Queued() {
    std::vector<int32_t> cmds;
    for (int32_t c; TakeCmdLinear(works.works, c);) cmds.push_back(c);
    return cmds;
  }

  TestSandbox box;
  TestWorks works;
  LogCapture log;
  TimerContext ctx;
  ClockSource previous;
};
}  // namespace

TEST_F(TimerPassTest, ScreensaverComesAfterTheChosenIdleTime) {
  works->cfg.SaveScreenIdx = 0;
  works->core.lastActivity = wallNow - 4 * 60 - 59;
  Passes(1);
  EXPECT_EQ(works->core.screenSaverOn, 0);
  works->core.lastActivity = wallNow - 5 * 60;
  Passes(1);
  EXPECT_EQ(works->core.screenSaverOn, 1);

  works->core.screenSaverOn = 0;
  works->cfg.SaveScreenIdx = 4;
  works->core.lastActivity = wallNow - 59 * 60;
  Passes(1);
  EXPECT_EQ(works->core.screenSaverOn, 0);
  works->core.lastActivity = wallNow - 60 * 60;
  Passes(1);
  EXPECT_EQ(works->core.screenSaverOn, 1);

  // An index the menu never offers waits the longest time rather than
  // reading past the table.
  works->core.screenSaverOn = 0;
  works->cfg.SaveScreenIdx = 9;
  works->core.lastActivity = wallNow - 30 * 60;
  Passes(1);
  EXPECT_EQ(works->core.screenSaverOn, 0);
}

TEST_F(TimerPassTest, FrequencyChangeFromTheCounterSendsNoFrequencyCommand) {
  works->tuner.modeWorkIdx = 0;
  works->link.measuredFreq = 7100000;
  Passes(1);
  auto cmds = Queued();
  EXPECT_EQ(std::count(cmds.begin(), cmds.end(), CMD_FA), 0);
  EXPECT_EQ(works->core.lastFreq, 7100000u);
  // Nothing new while the frequency stays.
  Passes(1);
  EXPECT_TRUE(Queued().empty());
}

TEST_F(TimerPassTest, FrequencyChangeFromTheFt817StartsWithTheFrequencyCommand) {
  works->tuner.modeWorkIdx = 2;
  works->trx.catFreq = 3600000;
  works->tuner.fineTune = 1;
  Passes(1);
  auto cmds = Queued();
  ASSERT_FALSE(cmds.empty());
  EXPECT_EQ(cmds.front(), CMD_FA);
  EXPECT_EQ(works->link.currentFreq, 3600000u);
  EXPECT_EQ(works->tuner.fineTune, 0);
}

// After a bank load (the row cleared) the present frequency's row is applied
// again without "FA"; after the force marker (an amplifier restart) with it.
TEST_F(TimerPassTest, ABankLoadOrARestartAppliesTheRowAgainAtTheSameFrequency) {
  InitTabAntenna(works.works, 0);
  works->tuner.modeWorkIdx = 2;
  works->trx.catFreq = 7100000;
  Passes(1);
  Queued();
  Passes(1);
  EXPECT_TRUE(Queued().empty());

  {
    std::lock_guard<std::mutex> lock(works->tuner.antennaMutex);
    AntennaRow &forty = works->tuner.tabAntenna[3];  // antenna 2, stored tune, in line, 2 dB pad
    forty.Ant = 2;
    forty.Atu = 0;
    forty.AmpEnable = 1;
    forty.Att = 1;
  }
  works->link.ampBypass = 1;
  works->tuner.idxRowAntenna = -1;
  Passes(1);
  EXPECT_EQ(Queued(), (std::vector<int32_t>{CMD_SA, CMD_MT_CLEAR, CMD_AB0, CMD_AT}));
  EXPECT_EQ(works->tuner.idxRowAntenna, 3);
  Passes(1);
  EXPECT_TRUE(Queued().empty());

  works->core.forceFreq = -1;
  Passes(1);
  std::vector<int32_t> cmds = Queued();
  ASSERT_FALSE(cmds.empty());
  EXPECT_EQ(cmds.front(), CMD_FA);
}

TEST_F(TimerPassTest, IgnoredTuneRequestGivesError14AfterThirtyPasses) {
  works->tuner.modeWorkIdx = 1;
  works->tuner.tuneStatus = 1;
  works->cfg.AutoTuneMode = 0x01 | 0x10 | 0x40;  // automatic, request pending, carrier asked
  Passes(31);
  EXPECT_EQ(ExistError(works.works, ERR_TUNE_TAVO_ABORTS), 0);
  Passes(1);
  EXPECT_EQ(ExistError(works.works, ERR_TUNE_TAVO_ABORTS), 1);
  EXPECT_EQ(works->tuner.tuneStatus, 0);
  EXPECT_EQ(works->cfg.AutoTuneMode & 0x50, 0);
}

TEST_F(TimerPassTest, TuneRequestAsksForACarrierOnceTheQueueIsEmpty) {
  works->tuner.modeWorkIdx = 1;
  works->trx.TavoParams->word[tavo::freq] = 7100000;  // a new frequency: commands are queued
  works->cfg.AutoTuneMode = 0x01 | 0x10;
  Passes(1);
  EXPECT_EQ(works->cfg.AutoTuneMode & 0x20, 0);
  Queued();
  Passes(1);
  EXPECT_EQ(works->cfg.AutoTuneMode & 0x20, 0x20);
}

// The tune page's test carrier is the operator's own: while its bits are in
// the flag byte the timer starts no automatic tune on it.
TEST_F(TimerPassTest, TheTestCarrierStartsNoAutomaticTune) {
  works->tuner.modeWorkIdx = 1;
  works->trx.TavoParams->word[tavo::b9bit6] = 1;  // the transceiver transmits
  works->cfg.AutoTuneMode = 0x01;
  works->tuner.autoAntFlags = TEST_TX_ON;
  Passes(3);
  EXPECT_EQ(works->tuner.tuneStatus, 0);
  EXPECT_EQ(works->cfg.AutoTuneMode, 0x01);
  works->tuner.autoAntFlags = 0;  // an ordinary transmission
  Passes(1);
  EXPECT_EQ(works->tuner.tuneStatus, 1);
  EXPECT_EQ(works->cfg.AutoTuneMode & 0x02, 0x02);
}

// A carrier while the tuner is bypassed starts nothing, and leaves the
// automatic tune free to start on a later carrier once the tuner is in line.
TEST_F(TimerPassTest, ACarrierOnABypassedTunerLeavesTheAutomaticTuneFree) {
  works->tuner.modeWorkIdx = 1;
  works->trx.TavoParams->word[tavo::b9bit6] = 1;
  works->cfg.AutoTuneMode = 0x01;
  works->link.atuBypass = 1;
  Passes(3);
  EXPECT_EQ(works->tuner.tuneStatus, 0);
  EXPECT_EQ(works->cfg.AutoTuneMode, 0x01);
  works->link.atuBypass = 0;
  Passes(1);
  EXPECT_EQ(works->tuner.tuneStatus, 1);
  EXPECT_EQ(works->cfg.AutoTuneMode & 0x02, 0x02);
}

TEST_F(TimerPassTest, HoldOffsCountDownInProcessorTime) {
  works->link.commErrHoldoff = 2000;
  works->trx.extIoHoldoff = 1500;
  processStep = 700 * 1000;
  Passes(2);
  EXPECT_EQ(works->link.commErrHoldoff, 600);
  EXPECT_EQ(works->trx.extIoHoldoff, 100);
  Passes(1);
  EXPECT_EQ(works->link.commErrHoldoff, 0);
  EXPECT_EQ(works->trx.extIoHoldoff, 0);
}

TEST_F(TimerPassTest, TemperatureLogLineEveryFiveSecondsOfProcessorTime) {
  works->cfg.EnableLOGTemp = 1;
  works->cfg.logTempRestarted = 1;
  processStep = 1000 * 1000;
  Passes(4);
  EXPECT_FALSE(std::filesystem::exists(box.P().logTempFile));
  Passes(1);
  std::string first = box.Read(box.P().logTempFile);
  EXPECT_FALSE(first.empty());
  Passes(5);
  EXPECT_GT(box.Read(box.P().logTempFile).size(), first.size());
  // Without the restart at the first transmission nothing is logged.
  works->cfg.logTempRestarted = 0;
  std::string before = box.Read(box.P().logTempFile);
  Passes(10);
  EXPECT_EQ(box.Read(box.P().logTempFile), before);
}

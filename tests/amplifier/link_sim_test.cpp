// The link thread against the simulated amplifier, in-process and without
// the unit's start-up pauses: what reaches the amplifier, what comes back,
// and the faults and protections in between. Real time throughout: a reply
// time-out shortened for speed expires on a busy host and resends.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#include "amplifier/cmd_queue.h"
#include "amplifier/commands.h"
#include "amplifier/errors.h"
#include "amplifier/link.h"
#include "core/clock.h"
#include "core/log.h"
#include "core/startup.h"
#include "core/works.h"
#include "settings/calibration.h"
#include "settings/fan_table.h"
#include "settings/filters.h"
#include "settings/setup_record.h"
#include "sim/amplifier/amp_device.h"
#include "sim/world/factory_tables.h"
#include "tests/support/sandbox.h"
#include "tests/support/sim_events.h"
#include "tests/support/wait.h"
#include "tuner/tune_control.h"

namespace {
class LinkSim : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SeedFactoryAmplifierTables(box.Root()));
    ReadConfigFile(works.works);
    ReadVentolaFile(works.works);
    LoadTabFiltri(works.works);
    std::string error;
    ASSERT_TRUE(amp.Start(error)) << error;
    works->core.running = 1;
  }
  void TearDown() override {
    works->core.running = 0;
    if (link.joinable()) link.join();
    amp.Stop();
  }
  void Start() { link = std::thread(Linear, works.works); }
  void Event(const std::string &text) { ApplyEvent(amp, text); }

  std::vector<std::string> Frames() {
    std::vector<std::string> texts;
    for (const ReceivedFrame &f : amp.Received()) texts.push_back(f.text);
    return texts;
  }
  int Count(const std::string &text) {
    auto f = Frames();
    return int(std::count(f.begin(), f.end(), text));
  }
  bool Heard(const std::string &text, int times = 1) {
    return WaitUntil([&] { return Count(text) >= times; });
  }
  // The frames from `from` on.
  std::vector<std::string> FramesFrom(size_t from) {
    auto f = Frames();
    return {f.begin() + std::min(from, f.size()), f.end()};
  }
  AmpReadings Model() {
    AmpReadings r;
    amp.WithFirmware([&](AmpFirmware &fw) { r = fw.Model().Readings(); });
    return r;
  }
  AmpControls Controls() {
    AmpControls c;
    amp.WithFirmware([&](AmpFirmware &fw) { c = fw.Model().Controls(); });
    return c;
  }
  // What the timer does on a new frequency.
  void FollowFrequency(uint32_t hz) {
    works->link.currentFreq = hz;
    IncPNTIn_CMDLinear(CMD_FA, works.works);
    SetFilterFromfreq(works.works);
    SearchCambioSoglie_TS(works.works);
  }
  bool Listed(int32_t code) {
    return WaitUntil([&] { return ExistError(works.works, code) == 1; });
  }

  TestSandbox box;
  TestWorks works;
  LogCapture log;
  World world;
  AmpDevice amp{SimContext{box.Root(), &world, false, ""}};
  std::thread link;
};

bool Near(double got, double want, double share = 0.02) {
  return std::fabs(got - want) <= share * std::fabs(want);
}
}  // namespace

TEST_F(LinkSim, StartUpCommandsReachTheAmplifierInOrderEachAfterAPoll) {
  Event("amp class 120");
  InitMicroCmd(works.works);
  Start();
  ASSERT_TRUE(Heard("MR0;"));
  std::vector<std::string> expected = {
      "VSM;",        "ER0000;", "ER0001;", "ER0002;",  "MP0;",         "TS3455387431063498;",
      "FN1100;",     "AN0;",    "SA1;",    "FS00001;", "MT100000000;", "PS0001100000000000;",
      "GM00020100;", "GS;",     "CPFFFF;", "MR0;"};
  std::vector<std::string> got = Frames();
  ASSERT_GE(got.size(), 2 * expected.size());
  for (size_t i = 0; i < expected.size(); i++) {
    EXPECT_EQ(got[2 * i], "ST;") << i;
    EXPECT_EQ(got[2 * i + 1], expected[i]) << i;
  }
  // What the replies told the unit.
  EXPECT_STREQ(StartImageName(works.works), "start120");
  EXPECT_EQ(works->errors.errMask, 0);
  EXPECT_TRUE(log.ErrHas("EE2: 30 31\n"));
  ASSERT_TRUE(Heard("FM;"));
  EXPECT_EQ(Controls().thresholds[TS_FWD], 3874);
}

TEST_F(LinkSim, OneCommandPerPollAndWithPriorityBackToBack) {
  Start();
  ASSERT_TRUE(Heard("FM;"));
  for (int32_t c : {CMD_SE, CMD_TU, CMD_SF_QUERY}) IncPNTIn_CMDLinear(c, works.works);
  ASSERT_TRUE(Heard("SF;"));
  std::vector<std::string> got = Frames();
  auto at = std::find(got.begin(), got.end(), "SE11234;");
  ASSERT_LE(at + 5, got.end());
  EXPECT_EQ(std::vector<std::string>(at, at + 5),
            (std::vector<std::string>{"SE11234;", "ST;", "TU;", "ST;", "SF;"}));

  size_t from = Frames().size();
  for (int32_t c : {CMD_MP1, CMD_AT_FULL, CMD_AB0}) IncPNTIn_CMDLinear(c, works.works);
  works->link.cmdPriority = 1;
  ASSERT_TRUE(Heard("AB0;"));
  got = FramesFrom(from);
  at = std::find(got.begin(), got.end(), "MP1;");
  ASSERT_LE(at + 3, got.end());
  EXPECT_EQ(std::vector<std::string>(at, at + 3),
            (std::vector<std::string>{"MP1;", "AT11;", "AB0;"}));
}

namespace {
// Index of the first command sent four times in a row and then followed by
// a poll, or −1.
int FourSendsThenPoll(const std::vector<std::string> &f) {
  for (size_t i = 0; i + 4 < f.size(); i++)
    if (f[i] == f[i + 1] && f[i] == f[i + 2] && f[i] == f[i + 3] && f[i + 4] == "ST;")
      return int(i);
  return -1;
}
}  // namespace

TEST_F(LinkSim, LostRepliesAreResentThreeTimesThenPollingStartsAgain) {
  works->errors.errMask = 0;
  Start();
  ASSERT_TRUE(Heard("FM;"));
  size_t from = Frames().size();
  Event("amp drop 4");
  ASSERT_TRUE(WaitUntil([&] { return FourSendsThenPoll(FramesFrom(from)) >= 0; }, 20));
  std::vector<std::string> got = FramesFrom(from);
  int at = FourSendsThenPoll(got);
  std::string letters = got[at].substr(0, 2);
  EXPECT_EQ(log.ErrCount(" ERROR LINEAR: RETRAY " + letters), 3);
  EXPECT_TRUE(log.ErrHas("---------------------------------------STOP RETRAY!! " + letters));
  EXPECT_EQ(ExistError(works.works, ERR_COMM), 1);
  EXPECT_EQ(GetErrDescr(works.works, ERR_COMM).line2, "Err " + letters);
  EXPECT_EQ(works->link.retryCount, 0);

  // Within the hold-off a second stop does not raise error 4 again; after it
  // (the timer counts it down) it does.
  DeleteErrore(works.works, ERR_COMM);
  Event("amp drop 4");
  ASSERT_TRUE(WaitUntil([&] { return works->link.retryStops == 2; }, 20));
  EXPECT_EQ(ExistError(works.works, ERR_COMM), 0);
  works->link.commErrHoldoff = 0;
  Event("amp drop 4");
  ASSERT_TRUE(WaitUntil([&] { return works->link.retryStops == 3; }, 20));
  EXPECT_EQ(ExistError(works.works, ERR_COMM), 1);
}

TEST_F(LinkSim, ALowerCaseCrcReplyIsLoggedAndStillDecoded) {
  Start();
  ASSERT_TRUE(Heard("FM;"));
  int retries = works->link.retryTotal;
  EXPECT_EQ(works->link.ampBypass, 1);
  // The polls' replies have digits only; "AB0;" is answered with A2.
  Event("amp lowercase-crc 1");
  IncPNTIn_CMDLinear(CMD_AB0, works.works);
  ASSERT_TRUE(WaitUntil([&] { return log.ErrHas("**** CHK ERROR!! A2 a2AB0;\n"); }));
  EXPECT_TRUE(WaitUntil([&] { return works->link.ampBypass == 0; }));  // decoded all the same
  EXPECT_EQ(works->link.retryTotal, retries);                          // not a failed exchange
}

TEST_F(LinkSim, MeasurementsAgreeWithTheModel) {
  works->link.currentFreq = 14100000;
  Event("radio freq 14100000");
  Event("radio drive 4");
  Event("antenna 1 load 100 0");  // SWR 2 with the tuner by-passed
  Event("amp temp 1 42.5");
  Event("amp temp 2 36");
  works->cfg.filterMask = 1 << 3;  // 10..14.45 MHz, before the amplifier goes in line
  IncPNTIn_CMDLinear(CMD_SF_SET, works.works);
  IncPNTIn_CMDLinear(CMD_AB0, works.works);
  Start();
  AmpReadings m;
  LinkState &l = works->link;
  // Temperatures are smoothed over the polls: wait for them to settle.
  ASSERT_TRUE(WaitUntil([&] {
    m = Model();
    return m.amplifying && Near(l.temp1, m.temperature[0]) && Near(l.temp2, m.temperature[1]) &&
           Near(l.pwrFwd, m.forwardW);
  })) << l.pwrFwd
      << " " << m.forwardW << " " << l.temp1;
  m = Model();
  EXPECT_TRUE(Near(l.pwrIn, m.inputW)) << l.pwrIn << " vs " << m.inputW;
  EXPECT_TRUE(Near(l.pwrFwd, m.forwardW)) << l.pwrFwd << " vs " << m.forwardW;
  EXPECT_TRUE(Near(l.pwrRefl, m.reflectedW)) << l.pwrRefl << " vs " << m.reflectedW;
  EXPECT_TRUE(Near(l.swr, m.swr)) << l.swr << " vs " << m.swr;
  EXPECT_TRUE(Near(l.currentRaw / 4096 * 14.05, m.currentA)) << l.currentRaw;
  EXPECT_GT(m.forwardW, 30);
  EXPECT_NEAR(m.swr, 2.0, 0.05);

  Event("radio off");  // no power: SWR 0, not 1
  ASSERT_TRUE(WaitUntil([&] { return l.pwrFwd == 0; }));
  ASSERT_TRUE(WaitUntil([&] { return l.swr == 0; }));
}

TEST_F(LinkSim, TheProtectionRoadFromHeatToAResetByTheErrorKey) {
  LinkState &l = works->link;
  IncPNTIn_CMDLinear(CMD_CP, works.works);   // errors are recorded from its reply on
  IncPNTIn_CMDLinear(CMD_MR0, works.works);  // the power-on restart acknowledged
  IncPNTIn_CMDLinear(CMD_AB0, works.works);  // the amplifier in line
  Start();
  ASSERT_TRUE(WaitUntil([&] { return works->errors.errMask == 0 && !Controls().bypass; }));

  Event("amp temp 1 59.5");
  ASSERT_TRUE(Listed(ERR_TEMP1_WARNING));
  size_t from = Frames().size();
  Event("amp temp 1 61");
  ASSERT_TRUE(Listed(ERR_TEMP1_HIGH));
  ASSERT_TRUE(WaitUntil([&] { return Count("AB0;") >= 2; }));
  std::vector<std::string> got = FramesFrom(from);
  auto mp1 = std::find(got.begin(), got.end(), "MP1;");
  ASSERT_NE(mp1, got.end());
  std::vector<std::string> protection;
  std::copy_if(mp1, got.end(), std::back_inserter(protection),
               [](const std::string &f) { return f != "ST;" && f != "FM;"; });
  protection.resize(3);
  EXPECT_EQ(protection, (std::vector<std::string>{"MP1;", "AT11;", "AB0;"}));
  EXPECT_EQ(ExistError(works.works, ERR_TEMP1_WARNING), 0);
  EXPECT_TRUE(Controls().protectionMode);
  EXPECT_EQ(Controls().pads, 3);

  from = Frames().size();
  Event("amp temp 1 57");
  ASSERT_TRUE(Listed(ERR_TEMP1_ENDED));
  EXPECT_EQ(ExistError(works.works, ERR_TEMP1_HIGH), 0);
  // "AB1;" carried out, and seen by the unit in the next status reply.
  ASSERT_TRUE(WaitUntil([&] { return Controls().bypass && l.ampBypass == 1; }));
  EXPECT_NE(works->errors.protState & 1, 0);

  // The error key: the reset goes out with priority and the list clears.
  from = Frames().size();
  EXPECT_EQ(GPIO_Errori(works.works), 1);
  ASSERT_TRUE(WaitUntil([&] { return works->errors.errResend == 0; }));
  got = FramesFrom(from);
  auto mp0 = std::find(got.begin(), got.end(), "MP0;");
  ASSERT_LE(mp0 + 3, got.end());
  EXPECT_EQ(std::vector<std::string>(mp0, mp0 + 3),
            (std::vector<std::string>{"MP0;", "AB1;", "AT00;"}));
  EXPECT_TRUE(GetErrList(works.works).empty());
  EXPECT_TRUE(log.ErrHas(">>> ERRORI: End Gest Errori!!\n"));
  ASSERT_TRUE(WaitUntil([&] { return works->errors.protState == 0; }));
  EXPECT_FALSE(Controls().protectionMode);
  EXPECT_EQ(l.ampBypass, 1);
}

TEST_F(LinkSim, TheFanFollowsItsCurveWithHysteresisAndTheProcessorWhenTheCurveIsOff) {
  works->core.initDone = 1;
  Event("amp temp 1 46");
  Event("amp temp 2 30");
  Start();
  ASSERT_TRUE(WaitUntil([&] { return Controls().fanLevel == 60; }));
  Event("amp temp 1 44.5");  // row 38..45 wants 30; held until 44 degrees
  ASSERT_TRUE(WaitUntil([&] { return works->link.temp1 < 44.6f; }));
  EXPECT_EQ(Controls().fanLevel, 60);
  Event("amp temp 1 43.5");
  ASSERT_TRUE(WaitUntil([&] { return Controls().fanLevel == 30; }));
  EXPECT_TRUE(log.ErrHas("--->1 VENTOLA: 30 ("));

  // Cool amplifier, hot processor: the processor's level runs the fan.
  works->thermal.cpuTemp1 = 85;
  Event("amp temp 1 24");
  Event("amp temp 2 24");
  ASSERT_TRUE(WaitUntil([&] { return Controls().fanLevel == 70; }));
  EXPECT_EQ(works->thermal.fanCurveLast, 0);
  works->thermal.cpuTemp1 = 60;
  ASSERT_TRUE(WaitUntil([&] { return Controls().fanLevel == 0; }));
}

TEST_F(LinkSim, FilterAndThresholdsFollowTheFrequency) {
  Start();
  FollowFrequency(3600000);
  ASSERT_TRUE(WaitUntil([&] {
    AmpControls c = Controls();
    return c.controllerFreqHz == 3600000 && c.filterMask == (1 << 1) && c.thresholds[0] == 3468;
  }));
  AmpControls c = Controls();
  EXPECT_EQ(std::vector<int>(c.thresholds, c.thresholds + 4),
            (std::vector<int>{3468, 3830, 3094, 3498}));
  FollowFrequency(7350000);  // a filter's upper bound holds it; 40 m thresholds
  ASSERT_TRUE(WaitUntil([&] { return Controls().thresholds[1] == 3849; }));
  EXPECT_EQ(Controls().filterMask, 1 << 2);
  size_t from = Frames().size();
  FollowFrequency(7360000);  // same thresholds row, no band filter but the by-pass
  ASSERT_TRUE(WaitUntil([&] { return Controls().filterMask == (1 << 7); }));
  std::vector<std::string> got = FramesFrom(from);
  EXPECT_EQ(std::count_if(got.begin(), got.end(),
                          [](const std::string &f) { return f.rfind("TS", 0) == 0; }),
            0);
  EXPECT_NE(std::find(got.begin(), got.end(), "SF3000080;"), got.end());
}

TEST_F(LinkSim, TunerWordCommandsChangeTheWordUnderTheLock) {
  works->tuner.tuneVal = 0x00812345;
  works->tuner.valL = 7;
  IncPNTIn_CMDLinear(CMD_MT_BYPASS, works.works);
  Start();
  ASSERT_TRUE(WaitUntil([&] { return Controls().tuneWord == 0x00012345; }));
  EXPECT_EQ(works->link.atuBypass, 1);
  IncPNTIn_CMDLinear(CMD_MT_CLEAR, works.works);  // only network B left
  ASSERT_TRUE(WaitUntil([&] { return Controls().tuneWord == 0x00800000; }));
  EXPECT_EQ(works->link.atuBypass, 0);
  EXPECT_EQ(works->tuner.valL, 0);
  EXPECT_EQ(works->link.tuneValLock, 0);
}

TEST_F(LinkSim, AMissingPortIsRetriedCalmlyAndALostOneReopened) {
  amp.Stop();
  Start();
  ASSERT_TRUE(WaitUntil([&] { return log.SysHas("Unable to open device", LOG_PRIO_ERR); }));
  EXPECT_EQ(works->core.linkErrState, 1);
  EXPECT_EQ(GetLinkErrorMessage(works.works), "Linear: Unable to open device " + amp.PortPath());
  // Each attempt waits as long as a reply would, and is reported once.
  ASSERT_TRUE(WaitUntil([&] { return works->link.retryTotal >= 2; }));
  EXPECT_LT(works->link.retryTotal, 20);
  EXPECT_EQ(log.ErrCount("Unable to open device"), 1);

  std::string error;
  ASSERT_TRUE(amp.Start(error)) << error;
  ASSERT_TRUE(Heard("ST;", 2));
  EXPECT_EQ(works->core.linkErrState, -1);  // the screen drops the message

  amp.Stop();  // the far end goes away: the writes fail and the port is closed
  ASSERT_TRUE(WaitUntil([&] { return log.SysHas("does not take commands", LOG_PRIO_ERR); }));
  int polls = Count("ST;");
  ASSERT_TRUE(amp.Start(error)) << error;
  EXPECT_TRUE(Heard("ST;", polls + 2));
}

TEST_F(LinkSim, AnAutomaticTuneRunsThroughTheLinkAndConverges) {
  works->link.currentFreq = 14100000;
  works->cfg.setup->AutoTuneTipo = '1';  // the fast search from the calibration row
  works->core.tavoTx = 1;                // the transceiver sends the tuning carrier
  Event("radio freq 14100000");
  Event("radio drive 4");
  Event("antenna 1 load 20 25");
  works->cfg.filterMask = 1 << 3;
  IncPNTIn_CMDLinear(CMD_SF_SET, works.works);
  IncPNTIn_CMDLinear(CMD_AB0, works.works);
  SearchCambioSoglie_TS(works.works);  // the row whose start points the search uses
  Start();
  // In line; the mismatch trips the high-SWR protection, which the tune clears.
  ASSERT_TRUE(WaitUntil([&] { return !Controls().bypass; }));
  float before = Model().swr;
  StartAutotune(works.works);
  ASSERT_TRUE(WaitUntil([&] { return works->tuner.tuneStatus == 0; }, 60));
  ASSERT_TRUE(WaitUntil([&] { return Model().swr < 1.5; }));
  EXPECT_GT(before, 2.0);
  EXPECT_GT(Count("TS4095387431063498;"), 0);  // the input protection opened for the tune
}

// Replies through the receive path: what they change and which state follows.
#include "amplifier/replies.h"

#include <gtest/gtest.h>

#include "amplifier/commands.h"
#include "amplifier/errors.h"
#include "amplifier/status_summary.h"
#include "amplifier/thermal.h"
#include "core/log.h"
#include "core/startup.h"
#include "core/works.h"
#include "settings/setup_record.h"
#include "tests/amplifier/link_harness.h"
#include "tests/support/sandbox.h"
#include "tuner/tune_word.h"
#include "ui/state.h"

namespace {
class Replies : public ::testing::Test {
 protected:
  void SetUp() override { works->errors.errMask = 0; }
  void Status(const StatusReading &r) { FeedReply(works.works, StatusText(r)); }
  std::string Line2(int32_t code) { return GetErrDescr(works.works, code).line2; }
  int32_t State() { return works->link.linearProcessStatus; }

  TestSandbox box;
  TestWorks works;
  LogCapture log;
};
}  // namespace

TEST(Swr, EdgeCases) {
  EXPECT_FLOAT_EQ(CalcSWR(0.2f, 0.6f), 100);  // reflected power without forward power
  EXPECT_FLOAT_EQ(CalcSWR(0.2f, 0.4f), 0);
  EXPECT_NEAR(CalcSWR(100, 11.1111f), 2.0f, 1e-3);
  EXPECT_FLOAT_EQ(CalcSWR(100, 0), 1.0f);
  EXPECT_FLOAT_EQ(CalcSWR(10, 10), 100);  // ρ = 1
  EXPECT_FLOAT_EQ(CalcSWR(10, 20), 100);
  EXPECT_FLOAT_EQ(CalcSWR(100, 99.99999f), 100);  // limited
}

TEST_F(Replies, StatusCIsSentLowNibbleFirstAndTheHighestProtectionNamesIt) {
  FeedReply(works.works,
            "ST00"
            "0000000000000000"
            "20482048"
            "10"
            "00;");
  EXPECT_EQ(works->link.statusC, 0x01);
  EXPECT_EQ(Line2(ERR_PROTECTION), "I OUT");
  FeedReply(works.works,
            "ST00"
            "0000000000000000"
            "20482048"
            "01"
            "00;");
  EXPECT_EQ(works->link.statusC, 0x10);
  EXPECT_EQ(Line2(ERR_PROTECTION), "FILTER TX");
  StatusReading r;
  r.c = 0x05;
  Status(r);
  EXPECT_EQ(Line2(ERR_PROTECTION), "FWD");
  EXPECT_EQ(ExistError(works.works, ERR_PROTECTION), 1);
  r.c = 0;
  Status(r);
  EXPECT_EQ(ExistError(works.works, ERR_PROTECTION), 0);
  r.c = 0x41;  // band warning: only 19
  Status(r);
  EXPECT_EQ(GetErrList(works.works), (std::vector<int32_t>{ERR_BAND_WARN}));
}

TEST_F(Replies, HighSwrAndInputPowerErrors) {
  StatusReading r;
  r.b = 2;
  r.c = 0x20;
  works->link.anValue = 1;
  Status(r);
  EXPECT_EQ(GetErrList(works.works), (std::vector<int32_t>{ERR_PWR_IN, ERR_HI_SWR}));
  works->cfg.AutoTuneMode = 0x11;  // a tune request in progress: no input-power error
  DeleteErrore(works.works, ERR_PWR_IN);
  r.b = 0;
  Status(r);
  EXPECT_TRUE(GetErrList(works.works).empty());
}

TEST_F(Replies, TemperaturesAreSmoothedAfterTheFirstReading) {
  StatusReading r;
  r.temp1 = 2048;  // 24.99 degrees
  Status(r);
  EXPECT_NEAR(works->link.temp1, 24.99f, 0.01f);
  r.temp1 = 1500;
  Status(r);
  float t = (24.99f * 9 + CalcolaTemp(1500)) / 10;
  EXPECT_NEAR(works->link.temp1, t, 0.05f);
  // A count the converter cannot give leaves the value and the alarms alone.
  r.temp1 = 5000;
  works->cfg.MaxTemperature = 10;
  Status(r);
  EXPECT_NEAR(works->link.temp1, t, 0.05f);
  EXPECT_EQ(ExistError(works.works, ERR_TEMP1_HIGH), 0);
}

TEST_F(Replies, BypassFollowsTheAmplifierAsCommandedAndAlwaysWithoutALink) {
  LinkState &l = works->link;
  StatusReading r;
  l.ampBypass = 0;
  l.bypassCmd = 1;
  r.b = 8;
  Status(r);
  EXPECT_EQ(l.ampBypass, 1);
  EXPECT_TRUE(log.ErrHas("--------------- AMPL ERRORE : bypass on ST0800"));
  l.bypassCmd = 1;
  r.b = 0;
  Status(r);  // commanded in line... bypassed: not followed while the link works
  EXPECT_EQ(l.ampBypass, 1);
  AddErrore(works.works, ERR_COMM);
  Status(r);
  EXPECT_EQ(l.ampBypass, 0);
  EXPECT_TRUE(log.ErrHas("STATE DA ERRORE : bypass off\n"));
}

TEST_F(Replies, AttenuatorTrackingTakesWhatThePadsReport) {
  StatusReading r;
  r.a = 8;  // 3 dB pad only
  Status(r);
  EXPECT_EQ(works->cfg.Attenuator, 2);
  EXPECT_EQ(works->link.attDisplay, 2);
  EXPECT_TRUE(log.ErrHas("STATE DA ERRORE : attenuatore 3dB=on 2dB=off\n"));
  r.a = 0xC;
  Status(r);  // reported (0) no longer equals requested (2): not tracked
  EXPECT_EQ(works->cfg.Attenuator, 2);
  FeedReply(works.works, "AT10;");
  EXPECT_TRUE(log.ErrHas("ATTENUATORE SET: 2 (2)\n"));
  works->tuner.tuneStatus = 1;
  Status(r);  // not during a tune
  EXPECT_EQ(works->cfg.Attenuator, 2);
  works->tuner.tuneStatus = 0;
  Status(r);
  EXPECT_EQ(works->cfg.Attenuator, 3);
}

// The restart puts the amplifier back to its power-on settings; the unit's
// picture follows at once, and nothing is sent until the error key.
TEST_F(Replies, AMicroResetRaisesItsErrorOnceAndThePictureTakesThePowerOnSettings) {
  works->cfg.filterMask = 0x08;
  works->tuner.antennaIdx = 2;
  works->tuner.tuneVal = 0x00812345;
  ReadTnePar(works.works);
  works->link.attDisplay = 1;
  works->cfg.Attenuator = 1;
  works->link.attReported = 1;
  StatusReading r;
  r.c = 0x80;
  r.b = 0x08;  // bypassed
  Status(r);
  EXPECT_EQ(ExistError(works.works, ERR_MICRO_RESET), 0);  // not reported by "MR" yet
  EXPECT_EQ(works->cfg.filterMask, 0x08);
  FeedReply(works.works, "MR0;");
  EXPECT_EQ(works->link.microResetFlags, 1);
  Status(r);
  Status(r);
  EXPECT_EQ(log.ErrCount("Add Err RESET MICRO\n"), 1);
  EXPECT_EQ(ExistError(works.works, ERR_MICRO_RESET), 1);
  EXPECT_EQ(works->cfg.filterMask, 0);
  EXPECT_EQ(works->tuner.antennaIdx, 0);
  EXPECT_EQ(works->tuner.tuneVal, TUNE_BIT_BYPASS);  // no network: the tuner bypassed
  EXPECT_EQ(works->tuner.valL, 0);
  EXPECT_EQ(works->tuner.valC, 0);
  EXPECT_EQ(works->link.ampBypass, 1);
  EXPECT_EQ(works->link.attDisplay, 4);
  EXPECT_EQ(works->cfg.Attenuator, 0);
  EXPECT_EQ(works->link.attReported, 0);
  EXPECT_TRUE(TakeQueued(works.works).empty());
}

TEST_F(Replies, OutOfRangeValuesInRepliesAreNotTaken) {
  FeedReply(works.works, "FM000014074000;");
  FeedReply(works.works, "FM000000000000;");  // 0 is not a measurement
  FeedReply(works.works, "FM99999999999;");   // beyond what a frequency holds
  EXPECT_EQ(works->link.measuredFreq, 14074000u);
  FeedReply(works.works, "SA3;");
  FeedReply(works.works, "SA9;");  // no such antenna: the index selects tables
  EXPECT_EQ(works->tuner.antennaIdx, 2);
  FeedReply(works.works, "GS0123456789;");
  FeedReply(works.works, "GSab;");  // short: the rest is kept
  EXPECT_EQ(GetGenericSettings(works.works), "ab23456789");
  EXPECT_TRUE(log.ErrHas("ERRORE!! Impostazioni Generali\n"));
}

TEST_F(Replies, RejectedUnknownAndShortFramesAreRetried) {
  LastCmdSent(works.works, 'T', 'S', CMD_TS);
  FeedReply(works.works, "TS?;");
  EXPECT_EQ(State(), CMD_TS);
  EXPECT_TRUE(log.ErrHas("---------------------------------------CMD Errato:TS?;\n"));
  FeedReply(works.works, "XY1;");
  EXPECT_EQ(State(), CMD_TS);
  EXPECT_TRUE(log.ErrHas("cmd non riconosciuto:XY1;\n"));
  FeedFrame(works.works, "A;");  // too short to name a reply
  EXPECT_EQ(State(), CMD_TS);
  EXPECT_EQ(works->link.retryCount, 3);
  FeedReply(works.works, "TS;");  // a good reply clears the count
  EXPECT_EQ(works->link.retryCount, 0);
  EXPECT_EQ(State(), CMD_ST);
}

TEST_F(Replies, ALowerCaseCrcIsLoggedAndStillDecodedWithoutLosingAQueuedCommand) {
  // Lower-case digits, as the controller writes its own.
  std::string frame = FrameCommand("VSM9.99.98;");
  ASSERT_NE(frame, FrameReply("VSM9.99.98;")) << "the CRC must have a letter digit";
  works->link.cmdPriority = 1;
  IncPNTIn_CMDLinear(CMD_CP, works.works);
  FeedFrame(works.works, frame);
  EXPECT_TRUE(log.ErrHas("**** CHK ERROR!! "));
  EXPECT_EQ(GetFirmwareVersion(works.works), "9.99.98");
  EXPECT_EQ(State(), CMD_CP) << "the queued command is the next state";
}

TEST_F(Replies, TheStatusReplyChoosesTheNextStateByTheTunePhase) {
  StatusReading r;
  Status(r);
  EXPECT_EQ(State(), CMD_FM);  // idle: the frequency counter
  IncPNTIn_CMDLinear(CMD_SA, works.works);
  Status(r);
  EXPECT_EQ(State(), CMD_SA);
  works->tuner.tuneStatus = 1;
  Status(r);
  EXPECT_EQ(State(), CMD_MT_SET);
  works->tuner.tuneStatus = 2;
  Status(r);
  EXPECT_EQ(State(), CMD_CP);
  EXPECT_EQ(works->tuner.tuneStatus, 1);
  works->tuner.tuneStatus = 3;
  Status(r);
  EXPECT_EQ(State(), CMD_ST);
  EXPECT_EQ(works->tuner.tuneStatus, 1);
}

TEST_F(Replies, StatusSummaryLayout) {
  LinkState &l = works->link;
  works->tuner.modeWorkIdx = 2;
  works->cfg.Attenuator = 1;
  works->tuner.antennaIdx = 2;
  l.ampBypass = 0;
  l.atuBypass = 1;
  l.swr = 1.5f;
  l.pwrFwd = 1234.5f;  // wider than its field: the leading digits stay
  l.pwrIn = 12.25f;
  l.temp1 = 31.0f;
  l.temp2 = 42.5f;
  l.currentRaw = 2048;
  works->cfg.NumBanco = 3;
  AddErrore(works.works, ERR_HI_SWR);
  AddErrore(works.works, ERR_COMM);
  char out[STATUS_SUMMARY_LEN + 1];
  CreaBufferDiStato(works.works, out);
  EXPECT_EQ(std::string(out, 42), "----2120B0001.501234.5012.2542.5 0.007.003");
  works->tuner.tabAntenna[0] = AntennaRow{"20m", 14000000, 14350000, 1, 1, 0, 0, 0};
  works->tuner.nRowAntenna = 1;
  works->link.currentFreq = 14350000;
  CreaBufferDiStato(works.works, out);
  EXPECT_EQ(std::string(out, 4), "20m ");
  EXPECT_EQ(out[42], char(ERR_COMM + 1));
  EXPECT_EQ(std::string(out + 43), "00000000;");
  works->cfg.TUNEenabled = 0x80;
  CreaBufferDiStato(works.works, out);
  EXPECT_EQ(out[8], 'N');
}

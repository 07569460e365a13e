#include "tuner/auto_tune.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "amplifier/errors.h"
#include "core/log.h"
#include "core/works.h"
#include "settings/calibration.h"
#include "settings/setup_record.h"
#include "tests/support/sandbox.h"
#include "tests/tuner/tuner_harness.h"
#include "tuner/search.h"
#include "tuner/tune_control.h"
#include "tuner/tune_memory.h"

namespace {
constexpr float FWD = 100.0f;

struct Setting {
  int mode, L, C;
};
Setting Decode(uint32_t w) {
  return {DecodeModoFromTuneval(w), DecodeInduttanzaFromTuneval(w), DecodeCapacitaFromTuneval(w)};
}

LoadModel Constant(float swr) {
  return [swr](uint32_t) { return Reading{swr, FWD}; };
}

class AutoTune : public ::testing::Test {
 protected:
  void SetUp() override {
    works->errors.errMask = 0;
    works->core.tavoTx = 1;
    works->link.currentFreq = 14200000;
    works->cfg.NumBanco = 1;
    works->cfg.SWRescAutoTune = 0;
    works->tuner.tuneVal = TUNE_BIT_B;
    ReadTnePar(works.works);
    Clr_vTuneParam(works.works);  // the search record is global: no best from another test
  }
  // Starts a tune of the given kind and drains its start commands.
  void Start(char tipo, bool fine = false) {
    works->cfg.setup->AutoTuneTipo = tipo;
    works->tuner.fineTune = fine ? 1 : 0;
    StartAutotune(works.works);
    link.Drain();
  }
  void Run(const LoadModel &load) { link.RunTune(load); }
  // Steps until the search reaches `state` (or the tune ends).
  void RunTo(const LoadModel &load, int state) {
    while (works->tuner.statoTune != state && link.Step(load)) {
    }
  }
  int Measurements() const { return log.ErrCount(") Err "); }
  std::string AtuFile() const { return box.P().setDir + "/atu_ant1_b1.txt"; }
  bool Stored() const { return std::filesystem::exists(AtuFile()); }
  bool Visited(int state) const {
    const auto &s = link.States();
    return std::find(s.begin(), s.end(), state) != s.end();
  }
  void UseCalibration(const CalibRow &row) {
    calib = row;
    works->cfg.tabCalib = &calib;
    works->cfg.nRowCalib = 1;
    works->cfg.idxSogliaTS = 0;
  }

  TestSandbox box;
  TestWorks works;
  LogCapture log;
  LinkStandIn link{works.works};
  CalibRow calib{};
};

CalibRow Row(std::initializer_list<int> L, std::initializer_list<int> C, int step) {
  CalibRow r{};
  std::copy(L.begin(), L.end(), r.tuneL);
  std::copy(C.begin(), C.end(), r.tuneC);
  r.tuneStep = step;
  return r;
}
}  // namespace

TEST_F(AutoTune, StartQueuesTheTuneCommandsWithPriority) {
  works->link.statusA = 1;
  works->cfg.setup->AutoTuneTipo = '0';
  StartAutotune(works.works);
  EXPECT_EQ(link.Drain(), (std::vector<int32_t>{18, 15, 22, 13, 17, 21}));
  EXPECT_EQ(works->cfg.sogliaTS[0], 4095);
  EXPECT_EQ(works->tuner.tuneStatus, 1);
  EXPECT_EQ(works->tuner.statoTune, 0);
  works->link.cmdPriority = 1;  // the start commands are not out yet: no step
  TuneTask(works.works);
  EXPECT_EQ(works->tuner.statoTune, 0);
}

TEST_F(AutoTune, TargetFoundEndsTheTuneAndStoresItButAZeroReadingNeverCounts) {
  works->cfg.SWRescAutoTune = 1.5f;
  Start('0');
  // L = 0 reads 0.0 (no carrier measured), L = 4 reads 1.4.
  Run([](uint32_t w) { return Reading{Decode(w).L == 0 ? 0.0f : 1.4f, FWD}; });
  EXPECT_EQ(Measurements(), 2);
  EXPECT_TRUE(log.ErrHas("ESC AUTO TUNE TARGET FOUND! 01.40 ( 1.4000) FOUND!\n"));
  EXPECT_EQ(works->tuner.tuneStatus, 0);
  EXPECT_EQ(Decode(works->tuner.tuneVal).L, 4);  // the setting that met the target
  EXPECT_FLOAT_EQ(works->tuner.swrFinale, 1.4f);
  EXPECT_EQ(box.Read(AtuFile()), "3130 14200000 1 1 4 0\n");
  EXPECT_EQ(link.Sent().back(), "MT100800020;");  // the best is sent last
}

TEST_F(AutoTune, WithoutTargetTheCompleteSearchRunsToItsEndOrToTheCycleLimit) {
  Start('0');
  Run(Constant(2.0f));
  EXPECT_TRUE(Visited(12));
  EXPECT_LE(Measurements(), 600);
  EXPECT_TRUE(Stored());
  EXPECT_TRUE(GetErrList(works.works).empty());

  std::filesystem::remove(AtuFile());
  log.Clear();
  works->cfg.AutoTuneMaxCicli = 4;  // 100 measurements
  Start('0');
  link = LinkStandIn(works.works);
  // The search climbs L on network B; the best is the first setting.
  Run([](uint32_t w) { return Reading{2.0f + Decode(w).L / 1000.0f, FWD}; });
  EXPECT_EQ(Measurements(), 101);
  EXPECT_TRUE(log.ErrHas("101 max cicli-> esco\n"));
  EXPECT_EQ(GetErrList(works.works), (std::vector<int32_t>{ERR_TUNE_TIMEOUT}));
  EXPECT_FALSE(Stored());
  // The step at the limit ran no action: the best (L = 0) is back, and
  // protection and full attenuation are queued after the normal attenuator.
  EXPECT_EQ(Decode(works->tuner.tuneVal).L, 0);
  EXPECT_EQ(link.Drain(), (std::vector<int32_t>{14, 18, 16}));

  works->cfg.SWRescAutoTune = 1.2f;  // with a target never met: the SWR warning
  DeleteErrore(works.works, ERR_TUNE_TIMEOUT);
  Start('0');
  Run(Constant(3.0f));
  EXPECT_EQ(GetErrList(works.works), (std::vector<int32_t>{ERR_TUNE_SWR_WARNING}));
}

TEST_F(AutoTune, BestOfSixIsStoredAboveSixItIsNot) {
  Start('0', true);
  Run(Constant(6.0f));
  EXPECT_TRUE(Stored());
  EXPECT_TRUE(GetErrList(works.works).empty());

  std::filesystem::remove(AtuFile());
  Clr_vTuneParam(works.works);
  Start('0', true);
  link = LinkStandIn(works.works);
  Run(Constant(6.01f));
  EXPECT_FALSE(Stored());
  EXPECT_EQ(GetErrList(works.works), (std::vector<int32_t>{ERR_TUNE_MAX_SWR}));
  EXPECT_TRUE(log.ErrHas("------- ERRORE MAX TUNE (6.010000)\n"));
}

TEST_F(AutoTune, CoarseLStepsUntilWorseByMoreThanTheTolerance) {
  Start('0');
  // 2.45 -> 2.5 is within the tolerance; 2.5 -> 2.65 is worse by 0.15.
  const float swr[] = {3.0f, 2.5f, 2.45f, 2.5f, 2.65f};
  RunTo(
      [&](uint32_t w) {
        int L = Decode(w).L;
        return Reading{L % 4 == 0 && L <= 16 ? swr[L / 4] : 9.0f, FWD};
      },
      4);
  EXPECT_EQ(works->tuner.statoTune, 4);
  EXPECT_EQ(works->tuner.valL, 15);  // one below the worse step
  EXPECT_EQ(Decode(works->tuner.tuneVal).L, 15);
  EXPECT_EQ(log.ErrCount("inc induttanza  4\n"), 4);
  EXPECT_TRUE(log.ErrHas("stato++\n"));
  EXPECT_FLOAT_EQ(miglioretuneParam.swr, 2.45f);
}

TEST_F(AutoTune, CompleteAndFastSearchWaitForTheCarrierTheFineSearchDoesNot) {
  works->core.tavoTx = 0;
  Start('0');
  for (int i = 0; i < 20; i++) link.Step(Constant(2.0f));
  EXPECT_EQ(works->tuner.statoTune, 2);
  Start('1');
  for (int i = 0; i < 20; i++) link.Step(Constant(2.0f));
  EXPECT_EQ(works->tuner.statoTune, 450);
  EXPECT_EQ(Measurements(), 0);
  Start('1', true);
  for (int i = 0; i < 5; i++) link.Step(Constant(2.0f));
  EXPECT_EQ(Measurements(), 3);
}

TEST_F(AutoTune, ATrippedHighSwrProtectionKeepsTheReadingAndAsksForTheClear) {
  Start('0');
  RunTo(Constant(1.8f), 3);
  auto tripped = [](float swr) { return [swr](uint32_t) { return Reading{swr, FWD, 2}; }; };
  link.Step(tripped(3.5f));
  EXPECT_FLOAT_EQ(vTuneParam[0].swr, 3.5f);
  EXPECT_EQ(link.Clears(), 1);  // tuneStatus 2: the link sent "CPFFFF;"
  EXPECT_EQ(works->tuner.tuneStatus, 1);
  link.Step(tripped(0.0f));  // no reading at all: the worst
  EXPECT_FLOAT_EQ(vTuneParam[0].swr, 100.0f);
}

// Readings of 1.2 where L is 20..40, taken while the amplifier's protection
// trips there, and 2.5 elsewhere: the search steers by the low readings, but
// what it puts back and stores is the best setting that did not trip.
TEST_F(AutoTune, ATrippedStepIsNeverTheBestNeitherEndsTheTuneNorIsStored) {
  works->cfg.SWRescAutoTune = 1.5f;
  auto trips = [](int L) { return L >= 20 && L <= 40; };
  LoadModel load = [&](uint32_t w) {
    return trips(Decode(w).L) ? Reading{1.2f, FWD, 2} : Reading{2.5f, FWD};
  };
  for (bool fine : {false, true}) {
    SCOPED_TRACE(fine ? "fine" : "complete");
    std::filesystem::remove(AtuFile());
    Clr_vTuneParam(works.works);
    works->tuner.tuneVal = TUNE_BIT_B;
    ReadTnePar(works.works);
    SetI(works.works, 16);  // the fine search starts from the present setting
    link = LinkStandIn(works.works);
    Start('0', fine);
    Run(load);
    EXPECT_GT(link.Clears(), 0);
    EXPECT_FALSE(log.ErrHas("TARGET FOUND"));
    EXPECT_FLOAT_EQ(steeringTuneParam.swr, 1.2f);
    EXPECT_FLOAT_EQ(miglioretuneParam.swr, 2.5f);
    EXPECT_FLOAT_EQ(works->tuner.swrFinale, 2.5f);
    EXPECT_FALSE(trips(Decode(works->tuner.tuneVal).L));
    std::string stored = box.Read(AtuFile());
    int idx = 0, freq = 0, valid = 0, mode = 0, L = -1, C = 0;
    ASSERT_EQ(sscanf(stored.c_str(), "%d %d %d %d %d %d", &idx, &freq, &valid, &mode, &L, &C), 6)
        << stored;
    EXPECT_FALSE(trips(L)) << stored;
  }
}

TEST_F(AutoTune, FastSearchChoosesTheNetworkThatWinsMoreComparisons) {
  UseCalibration(Row({10, 20, 30, 40, 50}, {11, 21, 31, 41, 51}, 4));
  const float b[] = {2.0f, 1.5f, 3.0f, 4.0f, 5.0f}, a[] = {2.5f, 1.8f, 2.9f, 3.5f, 6.0f};
  auto samples = [&](uint32_t w) {
    Setting s = Decode(w);
    int k = s.L / 10 - 1;
    if (k < 0 || k > 4 || s.C != s.L + 1) return Reading{7.0f, FWD};
    return Reading{s.mode == TUNE_MODE_B ? b[k] : a[k], FWD};
  };
  Start('1');
  RunTo(samples, 457);
  // B wins pairs 0, 1 and 4; its lowest is pair 1.
  EXPECT_TRUE(log.ErrHas(" B "));
  Setting s = Decode(works->tuner.tuneVal);
  EXPECT_EQ(s.mode, TUNE_MODE_B);
  EXPECT_EQ(s.L, 20);
  EXPECT_EQ(s.C, 21);
  EXPECT_FLOAT_EQ(miglioretuneParam.swr, 1.5f);  // the chosen point's own reading
  EXPECT_EQ(miglioretuneParam.tuneVal, works->tuner.tuneVal);

  // All equal: A takes the ties, and the first of equal samples.
  Start('1');
  link = LinkStandIn(works.works);
  RunTo(Constant(2.0f), 457);
  s = Decode(works->tuner.tuneVal);
  EXPECT_EQ(s.mode, TUNE_MODE_A);
  EXPECT_EQ(s.L, 10);
}

TEST_F(AutoTune, AnUncalibratedPairEndsTheSamplingOfThatNetwork) {
  UseCalibration(Row({10, 20, 600, 40, 50}, {11, 21, 31, 41, 51}, 4));
  Start('1');
  RunTo(Constant(2.0f), 457);
  // B: pairs 0 and 1, pair 1 measured again by state 454; A the same.
  EXPECT_EQ(Measurements(), 6);
  for (const std::string &w : link.Sent())
    EXPECT_NE(Decode(uint32_t(std::stoul(w.substr(3), nullptr, 16))).L, 600 & 511);
}

TEST_F(AutoTune, FastSearchWithoutCalibrationStartsFromDefaultPoints) {
  works->cfg.idxSogliaTS = -1;  // as after the previous tune
  Start('1');
  link.Step(Constant(2.0f));  // 450: the first point is set
  Setting s = Decode(works->tuner.tuneVal);
  EXPECT_EQ(s.mode, TUNE_MODE_B);
  EXPECT_GT(s.L + s.C, 0);
  Run([](uint32_t w) {  // a bowl the search can climb down
    Setting s = Decode(w);
    return Reading{1.3f + std::abs(s.L - 50) / 100.0f + std::abs(s.C - 60) / 100.0f, FWD};
  });
  EXPECT_TRUE(Stored());
  EXPECT_TRUE(GetErrList(works.works).empty());
}

TEST_F(AutoTune, AGoodMatchSkipsTheWideSweepAndAPoorOneRunsItWithinTheLimit) {
  UseCalibration(Row({100, 100, 100, 100, 100}, {100, 100, 100, 100, 100}, 20));
  Start('1');
  Run(Constant(1.04f));
  EXPECT_TRUE(Visited(461));
  EXPECT_FALSE(Visited(462));

  // L + 10 steps fits, L + 20 steps does not: the sweep starts at 510.
  UseCalibration(Row({300, 300, 300, 300, 300}, {100, 100, 100, 100, 100}, 20));
  Start('1');
  link = LinkStandIn(works.works);
  RunTo([](uint32_t w) { return Reading{Decode(w).L == 300 ? 2.0f : 3.0f, FWD}; }, 462);
  EXPECT_EQ(works->tuner.valL, 510);
  Run(Constant(3.0f));
  EXPECT_TRUE(Visited(463));
}

TEST_F(AutoTune, FineSweepsStopAtTheEndsOfTheWordAndReturnToTheBest) {
  works->tuner.tuneVal = TUNE_BIT_A;
  WriteKnob(works.works, Knob::C, 505);
  WriteKnob(works.works, Knob::L, 3);
  Start('0', true);
  // Best at C = 508, L = 2.
  Run([](uint32_t w) {
    Setting s = Decode(w);
    return Reading{1.1f + std::abs(s.C - 508) * 0.01f + std::abs(s.L - 2) * 0.01f, FWD};
  });
  int upC = 0, downL = 0;
  for (size_t i = 0; i < link.States().size(); i++) {
    upC += link.States()[i] == 202;
    downL += link.States()[i] == 205;
  }
  EXPECT_EQ(upC, 7);    // 505..511
  EXPECT_EQ(downL, 4);  // 3, 2, 1, 0
  Setting s = Decode(works->tuner.tuneVal);
  EXPECT_EQ(s.C, 508);
  EXPECT_EQ(s.L, 2);
  EXPECT_EQ(s.mode, TUNE_MODE_A);
  EXPECT_EQ(box.Read(AtuFile()), "3130 14200000 1 2 2 508\n");
}

TEST_F(AutoTune, FirstFineTuneWithoutAnEarlierBestFallsBackToThePresentSetting) {
  tuneParam = miglioretuneParam = TuneParam{};  // nothing measured since start-up
  works->tuner.tuneVal = TUNE_BIT_B;
  WriteKnob(works.works, Knob::C, 40);
  WriteKnob(works.works, Knob::L, 40);
  uint32_t present = works->tuner.tuneVal;
  Start('0', true);
  Run(Constant(0.0f));  // no reading anywhere
  EXPECT_EQ(works->tuner.tuneVal, present);
  EXPECT_FALSE(Stored());
}

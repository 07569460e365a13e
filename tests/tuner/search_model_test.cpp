// The three searches against a model of the tuner network and a set of
// antenna loads across the bands.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/log.h"
#include "core/works.h"
#include "settings/setup_record.h"
#include "sim/world/factory_files.h"
#include "tests/support/sandbox.h"
#include "tests/tuner/standin_load.h"
#include "tests/tuner/tune_loads.h"
#include "tests/tuner/tuner_harness.h"
#include "tuner/banks.h"
#include "tuner/tune_control.h"

namespace {
void Report(const char *what, const TuneLoad &l, double best, double got, int steps) {
  printf("%s %5.2f MHz %5.0f%+5.0fj: best %.2f got %.2f in %d steps\n", what, l.freq / 1e6, l.r,
         l.x, best, got, steps);
}
}  // namespace

TEST(SearchModel, CompleteSearch) {
  for (const TuneLoad &l : TUNE_LOADS) {
    TestSandbox box;
    TestWorks works;
    LogCapture log;
    works->core.tavoTx = 1;
    works->link.currentFreq = uint32_t(l.freq);
    works->cfg.setup->AutoTuneTipo = '0';
    works->tuner.tuneVal = TUNE_BIT_B;
    StartAutotune(works.works);
    LinkStandIn link(works.works);
    int steps = link.RunTune(standin::Load(l.freq, l.r, l.x));
    double got = standin::Swr(l.freq, l.r, l.x, works->tuner.tuneVal);
    double best = standin::BestSwr(l.freq, l.r, l.x);
    Report("complete", l, best, got, steps);
    if (best < 1.2) {
      EXPECT_LT(got, 1.5);
    }
  }
}

TEST(SearchModel, TunedSettingIsStoredAndComesBackWithTheFrequency) {
  StubTransceiverThreads threads;
  TestSandbox box;
  TestWorks works;
  LogCapture log;
  ASSERT_TRUE(SeedFactoryAntennaTable(box.Root()));
  works->cfg.NumBanco = 1;
  LoadAllBankTable(works.works, 1);
  LinkStandIn link(works.works);
  EXPECT_EQ(link.Drain(), (std::vector<int32_t>{CMD_GS_SET}));
  const TuneLoad l = TUNE_LOADS[0];
  auto at = [&](uint32_t freq) {
    works->link.currentFreq = freq;
    GestioneAntennaAutomatica(works.works);
    return link.Drain();
  };
  EXPECT_EQ(at(uint32_t(l.freq)), (std::vector<int32_t>{40, 19}));  // nothing stored yet
  works->link.ampBypass = 0;                                        // the "AB0" reply

  works->core.tavoTx = 1;  // the transceiver sends the tuning carrier
  works->cfg.setup->AutoTuneTipo = '0';
  StartAutotune(works.works);
  link.RunTune(standin::Load(l.freq, l.r, l.x));
  uint32_t tuned = works->tuner.tuneVal;
  ASSERT_EQ(works->tuner.tuneStatus, 0);
  char line[64];
  snprintf(line, sizeof line, "2120 7100000 1 %d %d %d\n", DecodeModoFromTuneval(tuned),
           DecodeInduttanzaFromTuneval(tuned), DecodeCapacitaFromTuneval(tuned));
  EXPECT_EQ(box.Read(box.P().setDir + "/atu_ant1_b1.txt"), line);

  at(14200000);
  EXPECT_NE(works->tuner.tuneVal, tuned);
  int steps = link.Steps();
  EXPECT_EQ(at(uint32_t(l.freq)), (std::vector<int32_t>{27}));
  char word[16];
  snprintf(word, sizeof word, "MT1%08X;", unsigned(tuned));
  EXPECT_EQ(link.Sent().back(), word);
  EXPECT_EQ(link.Steps(), steps);  // no new search
  EXPECT_EQ(works->tuner.tuneStatus, 0);
}

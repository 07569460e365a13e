// The complete search against the simulated amplifier's physics on loads
// across the bands, and a tune stored and brought back by the tune control.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/log.h"
#include "core/works.h"
#include "settings/setup_record.h"
#include "sim/world/factory_files.h"
#include "tests/support/sandbox.h"
#include "tests/tuner/sim_amplifier.h"
#include "tests/tuner/tune_loads.h"
#include "tests/tuner/tuner_harness.h"
#include "tuner/banks.h"
#include "tuner/tune_control.h"
#include "tuner/tune_memory.h"

TEST(SearchModel, CompleteSearchReachesAGoodMatchOnEveryLoad) {
  for (const TuneLoad &l : TUNE_LOADS) {
    TestSandbox box;
    TestWorks works;
    LogCapture log;
    SimulatedAmplifier amp(l);
    works->errors.errMask = 0;
    works->core.tavoTx = 1;
    works->link.currentFreq = uint32_t(l.freq);
    works->cfg.NumBanco = 1;
    works->cfg.setup->AutoTuneTipo = '0';
    works->tuner.tuneVal = TUNE_BIT_B;
    Clr_vTuneParam(works.works);
    StartAutotune(works.works);
    LinkStandIn link(works.works);
    amp.Attach(link);
    int steps = link.RunTune(amp.Model());
    double got = amp.Swr(works->tuner.tuneVal);
    double best = amp.BestSwr();
    if (best < 1.2) {
      EXPECT_LT(got, 1.5) << l.freq << " Hz " << l.r << "+j" << l.x << ": best " << best
                          << " after " << steps << " steps";
      // Stored for bank 1, antenna 1, with the word that was put back.
      TuneEntry e;
      int32_t s, end;
      int first, last;
      LoadTuneValFromTabRam(e, AtuIdxSearch(uint32_t(l.freq), s, end, first, last), 0, works.works);
      EXPECT_EQ(e.valid, 1) << l.freq;
      EXPECT_EQ(e.C, DecodeCapacitaFromTuneval(works->tuner.tuneVal));
      EXPECT_TRUE(std::filesystem::exists(box.P().setDir + "/atu_ant1_b1.txt"));
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
  SimulatedAmplifier amp(l);
  amp.Attach(link);
  link.RunTune(amp.Model());
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

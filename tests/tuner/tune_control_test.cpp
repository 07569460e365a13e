#include "tuner/tune_control.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "amplifier/errors.h"
#include "core/log.h"
#include "core/works.h"
#include "settings/setup_record.h"
#include "tests/support/sandbox.h"
#include "tests/tuner/tuner_harness.h"
#include "tuner/bank_files.h"
#include "tuner/banks.h"
#include "tuner/tune_memory.h"

namespace {
class TuneControl : public ::testing::Test {
 protected:
  void SetUp() override {
    works->errors.errMask = 0;
    works->cfg.NumBanco = 1;
    box.Write(box.P().setDir + "/antenna_b1.txt",
              "!Tavo\n"
              "80m 3500000 4000000 1 0 1 0 0.0\n"
              "40m 7000000 7300000 1 2 0 1 0.0\n"
              "20m 14000000 14350000 0 1 0 0 0.0\n");
    LoadTabConfig(works.works, 1);
    works->link.ampBypass = 1;
    works->cfg.Attenuator = 0;
  }
  std::vector<int32_t> At(uint32_t freq) {
    works->link.currentFreq = freq;
    GestioneAntennaAutomatica(works.works);
    return link.Drain();
  }
  StubTransceiverThreads threads;
  TestSandbox box;
  TestWorks works;
  LogCapture log;
  LinkStandIn link{works.works};
};
}  // namespace

TEST_F(TuneControl, FortyMetresAppliesAntennaTuneAmplifierAndAttenuatorInOrder) {
  EXPECT_EQ(At(7100000), (std::vector<int32_t>{7, 40, 19, 14}));
  EXPECT_EQ(works->tuner.antennaIdx, 1);  // "SA2;"
  EXPECT_EQ(works->tuner.idxRowAntenna, 1);
  EXPECT_EQ(works->cfg.Attenuator, 1);
  EXPECT_EQ(works->link.attDisplay, 1);
  // No stored tune in the segment: the empty tune, network B, not a bypass.
  EXPECT_EQ(works->tuner.tuneVal, TUNE_BIT_B);
  EXPECT_EQ(link.Sent().back(), "MT100800000;");

  // With a tune stored for antenna 2 in the segment it is loaded instead.
  SaveTuneValsuTabRam(TuneEntry{1, 2, 70, 80}, 2150, 1, works.works);
  works->link.ampBypass = 0;
  EXPECT_EQ(At(7120000), (std::vector<int32_t>{27}));
  EXPECT_EQ(DecodeCapacitaFromTuneval(works->tuner.tuneVal), 80);
  EXPECT_EQ(DecodeModoFromTuneval(works->tuner.tuneVal), TUNE_MODE_A);
}

TEST_F(TuneControl, RowsWithoutAntennaOrWithBypassAndFrequenciesBetweenRows) {
  works->tuner.antennaIdx = 2;
  EXPECT_EQ(At(3600000), (std::vector<int32_t>{39, 19}));  // Ant 0: antenna untouched
  EXPECT_EQ(works->tuner.antennaIdx, 2);
  EXPECT_TRUE(log.ErrHas("TABLE CONFIG : BYPASS 1 (0)\n"));
  EXPECT_EQ(works->link.atuBypass, 1);

  EXPECT_EQ(At(5000000), (std::vector<int32_t>{}));
  EXPECT_EQ(works->tuner.idxRowAntenna, 100);

  works->link.ampBypass = 0;
  EXPECT_EQ(At(14100000), (std::vector<int32_t>{7, 40, 20}));  // amplifier bypassed on 20 m
  works->link.ampBypass = 1;
  EXPECT_EQ(At(14100000), (std::vector<int32_t>{40}));
}

TEST_F(TuneControl, NoStoredTuneIsLoadedWhileATuneRuns) {
  works->link.currentFreq = 7100000;
  works->tuner.tuneStatus = 1;
  GestioneLoadTuneVal(works.works);
  EXPECT_TRUE(link.Drain().empty());
}

TEST_F(TuneControl, TuneKeyStartsAndAbortsWithoutStoring) {
  works->link.currentFreq = 7100000;
  works->tuner.modeWorkIdx = 1;
  works->cfg.AutoTuneMode = 1;
  works->cfg.setup->AutoTuneTipo = '0';
  CompleteTuneKey(works.works);
  EXPECT_EQ(works->tuner.tuneStatus, 1);
  EXPECT_EQ(works->cfg.AutoTuneMode, 0x11);  // the tune request of the handshake
  EXPECT_TRUE(log.ErrHas("a-START TUNE!!\n"));
  miglioretuneParam.swr = 1.2f;  // a good setting was found so far
  GoTune(works.works);
  EXPECT_TRUE(log.ErrHas("esc tune TUNEMENU\n"));
  EXPECT_EQ(works->tuner.tuneStatus, 0);
  EXPECT_EQ(works->cfg.AutoTuneMode & 0x04, 0x04);  // back to receive
  EXPECT_EQ(works->cfg.idxSogliaTS, -1);
  EXPECT_FALSE(std::filesystem::exists(box.P().setDir + "/atu_ant1_b1.txt"));

  // Automatic tune turned off while the carrier was asked for: the abort
  // still returns the transceiver to receive, and an ask not yet sent goes.
  CompleteTuneKey(works.works);
  works->cfg.AutoTuneMode = 0x10 | 0x20;
  GoTune(works.works);
  EXPECT_EQ(works->tuner.tuneStatus, 0);
  EXPECT_EQ(works->cfg.AutoTuneMode, 0x10 | 0x04);
}

TEST_F(TuneControl, TuneIsRefusedWhenDisabledBypassedOrNotEnabled) {
  works->cfg.AutoTuneMode = 1;
  works->cfg.TUNEenabled = 0x80;
  GoTune(works.works);
  EXPECT_EQ(works->tuner.tuneStatus, 0);
  works->cfg.TUNEenabled = 0;
  works->cfg.AutoTuneMode = 0x09;  // bit 3: a handshake still closing
  GoTune(works.works);
  EXPECT_EQ(works->tuner.tuneStatus, 0);
  works->cfg.AutoTuneMode = 1;
  works->link.atuBypass = 1;
  FineTuneKey(works.works);
  EXPECT_TRUE(log.ErrHas("xxxxx FINE AUTO TUNE_ByPass 1\n"));
  StartAutotune(works.works);
  EXPECT_EQ(works->tuner.tuneStatus, 0);
  EXPECT_TRUE(link.Drain().empty());
  // The TUNE key itself on a bypassed band: no search, so no carrier asked for.
  works->tuner.modeWorkIdx = 1;
  GoTune(works.works);
  EXPECT_EQ(works->tuner.tuneStatus, 0);
  EXPECT_EQ(works->cfg.AutoTuneMode, 0x01);
}

TEST_F(TuneControl, ManualLAndCStayWithinTheWordAndNetworkSteps) {
  works->tuner.tuneVal = TUNE_BIT_B;
  ReadTnePar(works.works);
  works->tuner.valL = 510;
  ManualTuneL(works.works, +1);
  EXPECT_EQ(works->tuner.valL, 511);
  EXPECT_EQ(DecodeInduttanzaFromTuneval(works->tuner.tuneVal), 511);
  ManualTuneL(works.works, +1);
  EXPECT_EQ(works->tuner.valL, 511);
  ManualTuneC(works.works, -1);
  EXPECT_EQ(works->tuner.valC, 0);
  ManualTuneC(works.works, +1);
  // The word is formatted when sent: the second change rides on the first's
  // command still waiting; once that is taken, a change queues again.
  EXPECT_EQ(link.Drain(), (std::vector<int32_t>{11}));
  ManualTuneC(works.works, +1);
  EXPECT_EQ(link.Drain(), (std::vector<int32_t>{11}));
  EXPECT_EQ(works->link.tuneValLock, 0);

  std::vector<int> modes;
  for (int i = 0; i < 4; i++) {
    ManualTuneNetwork(works.works);
    modes.push_back(works->tuner.modoTune);
  }
  EXPECT_EQ(modes, (std::vector<int>{2, 3, 1, 2}));
  works->tuner.tuneStatus = 1;
  ManualTuneNetwork(works.works);
  EXPECT_EQ(works->tuner.modoTune, 2);
}

TEST_F(TuneControl, BypassKeyTogglesAndIsRecordedForTheBand) {
  works->link.currentFreq = 7100000;
  ManualTuneBypass(works.works);
  EXPECT_EQ(link.Drain(), (std::vector<int32_t>{39}));
  EXPECT_NE(box.Read(box.P().setDir + "/antenna_b1.txt").find("40m 7000000 7300000 1 1 1 0 0.0"),
            std::string::npos);
  ManualTuneBypass(works.works);
  EXPECT_EQ(link.Drain(), (std::vector<int32_t>{40}));
}

TEST_F(TuneControl, InterfaceTypeSwitchesTheTransceiverLinks) {
  SetupRecord &s = *works->cfg.setup;
  works->tuner.modeWorkIdx = 2;
  AddErrore(works.works, ERR_TAVO_EXTIO);
  SetModeWorkIDX(works.works);
  EXPECT_EQ(s.extIoRun, '0');
  EXPECT_EQ(s.catSerialRun, '1');
  EXPECT_EQ(ExistError(works.works, ERR_TAVO_EXTIO), 0);
  works->tuner.modeWorkIdx = 1;
  SetModeWorkIDX(works.works);
  EXPECT_EQ(s.extIoRun, '1');
  EXPECT_EQ(s.catSerialRun, '0');
  works->tuner.modeWorkIdx = 0;
  SetModeWorkIDX(works.works);
  EXPECT_EQ(s.extIoRun, '0');
  EXPECT_EQ(link.Drain(), (std::vector<int32_t>{35, 35, 35}));
}

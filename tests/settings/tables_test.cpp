// The calibration, fan and filter tables and what follows the frequency.
#include <gtest/gtest.h>

#include <vector>

#include "amplifier/cmd_queue.h"
#include "amplifier/commands.h"
#include "core/log.h"
#include "core/works.h"
#include "settings/calibration.h"
#include "settings/fan_table.h"
#include "settings/filters.h"
#include "settings/temp_log.h"
#include "tests/support/sandbox.h"

namespace {
// Rows: 3.5 MHz, 7 MHz, and the closing row at 30 MHz.
const char *CONFIG =
    "; start second  Pfwd Nfwd  Prefl Nrefl  Pin Nin  kCorr  thresholds  L/C pairs  step\r\n"
    "3500000 0 600 2000 600 2000 30 1500 -0.01 40 12.7 100 700 10 20 30 40 50 60 70 80 90 100 5\r\n"
    "0x6ACFC0 0 500 2500 50 1000 20 1000 0 400 20.0 1 10000 1 1 2 2 3 3 4 4 5 5 1\n"
    "30000000 0 1 1 1 1 1 1 0 1 1 1 1\n";

class Tables : public ::testing::Test {
 protected:
  std::vector<int32_t> Queued() {
    std::vector<int32_t> cmds;
    for (int32_t c; TakeCmdLinear(works.works, c);) cmds.push_back(c);
    return cmds;
  }
  void Config(const std::string &text) {
    box.Write(box.P().configFile, text);
    ReadConfigFile(works.works);
  }
  void Filters(const std::string &text) {
    box.Write(box.P().filterFile, text);
    LoadTabFiltri(works.works);
  }
  void At(uint32_t hz) { works->link.currentFreq = hz; }
  std::vector<int32_t> Thresholds() {
    return {works->cfg.sogliaTS[0], works->cfg.sogliaTS[1], works->cfg.sogliaTS[2],
            works->cfg.sogliaTS[3]};
  }

  TestSandbox box;
  TestWorks works;
  LogCapture log;
};
}  // namespace

TEST_F(Tables, ConfigRowsAreParsedWithTheirDiagnostics) {
  Config(CONFIG);
  ASSERT_EQ(works->cfg.nRowCalib, 3);
  const CalibRow &r = works->cfg.tabCalib[0];
  EXPECT_EQ(r.fStart, 3500000u);
  EXPECT_FLOAT_EQ(r.kFwd, 600.0f / (2000.0f * 2000.0f));
  EXPECT_FLOAT_EQ(r.kPwin, 30.0f / (1500.0f * 1500.0f));
  EXPECT_FLOAT_EQ(r.kCorr, -0.01f);
  EXPECT_EQ(r.tuneL[4], 90);
  EXPECT_EQ(r.tuneC[4], 100);
  EXPECT_EQ(r.tuneStep, 5);
  EXPECT_EQ(works->cfg.tabCalib[1].fStart, 7000000u);  // hexadecimal
  // A short line reads its missing numbers as 0.
  EXPECT_EQ(works->cfg.tabCalib[2].tuneStep, 0);
  EXPECT_TRUE(log.ErrHas("N row Config File 3 \n"));
  EXPECT_TRUE(
      log.ErrHas("->3500000,0,0.0001500,0.0001500,0.0000133,-0.0100000 (30.00,1500.00) "
                 "Soglie: PWIN 40.0, Corrente: 12.7, REFL: 100.0, FWD: 700.0\n"));
  EXPECT_TRUE(log.ErrHas("\ttunepar: 10 20, 30 40, 50 60, 70 80, 90 100, step:5\n"));
}

TEST_F(Tables, WithoutConfigTheDefaultsApply) {
  ReadConfigFile(works.works);
  EXPECT_EQ(works->cfg.nRowCalib, 0);
  EXPECT_TRUE(log.ErrHas("Config File not FOUND!!"));
  EXPECT_TRUE(log.SysHas("can't open " + box.P().configFile, LOG_PRIO_ERR));
  EXPECT_FLOAT_EQ(SearchK(works.works, K_FWD), 5.156579e-6f);
  EXPECT_FLOAT_EQ(SearchK(works.works, K_CORR), -0.007f);
  EXPECT_FLOAT_EQ(SearchK(works.works, 7), 1.0f);
  SearchCambioSoglie_TS(works.works);
  EXPECT_EQ(Thresholds(), (std::vector<int32_t>{4095, 4095, 1500, 3700}));
  EXPECT_EQ(Queued(), (std::vector<int32_t>{CMD_TS}));
  SearchCambioSoglie_TS(works.works);  // sent once, until a tune forgets the row
  EXPECT_TRUE(Queued().empty());
}

TEST_F(Tables, RowBoundariesAndTheClosingRow) {
  Config(CONFIG);
  At(7000000);
  EXPECT_EQ(CalibRowFor(works.works, 7000000), 1);
  EXPECT_EQ(CalibRowFor(works.works, 6999999), 0);
  EXPECT_EQ(CalibRowFor(works.works, 30000000), -1);  // the last row is never selected
  EXPECT_EQ(CalibRowFor(works.works, 3499999), -1);
  EXPECT_FLOAT_EQ(SearchK(works.works, K_FWD), 500.0f / (2500.0f * 2500.0f));
  At(40000000);
  EXPECT_FLOAT_EQ(SearchK(works.works, K_FWD), 1.0f);  // rows loaded, none applies
}

TEST_F(Tables, ThresholdsAreLimitedAndSentOncePerRow) {
  Config(CONFIG);
  At(3600000);
  SearchCambioSoglie_TS(works.works);
  // pwin sqrt(40 / (30/1500²)) = 1732; fwd sqrt(700 / (600/2000²)) = 2160; refl 816; 12.7 A 3702.
  EXPECT_EQ(Thresholds(), (std::vector<int32_t>{1732, 2160, 816, 3702}));
  EXPECT_EQ(works->cfg.idxSogliaTS, 0);
  EXPECT_TRUE(log.ErrHas("Soglia TS (freq 3600000):\n"));
  At(3700000);
  SearchCambioSoglie_TS(works.works);  // same row: nothing more
  EXPECT_EQ(Queued(), (std::vector<int32_t>{CMD_TS}));
  At(7100000);
  SearchCambioSoglie_TS(works.works);
  // Thresholds beyond the converter's range, and 20 A (5830 counts), send 4095.
  EXPECT_EQ(Thresholds(), (std::vector<int32_t>{4095, 4095, 141, 4095}));
  EXPECT_EQ(Queued(), (std::vector<int32_t>{CMD_TS}));
  At(40000000);
  SearchCambioSoglie_TS(works.works);  // no row applies: the last thresholds stay
  EXPECT_TRUE(Queued().empty());
  EXPECT_EQ(works->cfg.idxSogliaTS, 1);
}

TEST_F(Tables, ARowWithZeroReadingsSendsTheLimitNotGarbage) {
  Config("1000 0 0 0 0 0 0 0 0 40 -3 100 700\n50000000\n");
  At(14000000);
  SearchCambioSoglie_TS(works.works);
  EXPECT_EQ(Thresholds(), (std::vector<int32_t>{4095, 4095, 4095, 0}));
}

TEST_F(Tables, ASingleRowSelectsNothingAndThresholdsGoOnlyAtFrequencyZero) {
  Config("3500000 0 600 2000 600 2000 30 1500 0 40 12 100 700\n");
  At(3600000);
  for (int type : {K_FWD, K_REFL, K_PWIN, K_CORR})
    EXPECT_FLOAT_EQ(SearchK(works.works, type), 1.0f);
  SearchCambioSoglie_TS(works.works);
  EXPECT_TRUE(Queued().empty());
  At(0);
  SearchCambioSoglie_TS(works.works);
  EXPECT_EQ(Queued(), (std::vector<int32_t>{CMD_TS}));
  EXPECT_EQ(Thresholds(), (std::vector<int32_t>{4095, 4095, 1500, 3700}));
}

TEST_F(Tables, FilterChoiceFollowsTheFrequency) {
  Filters(
      ";header\n"
      "1800000 2000000 1\n"
      "3500000 3800000 2\n"  // "2" is not enabled
      "7000000 7300000 1\n"
      "7000000 14350000 1\n"  // overlaps the row before
      "0 0 0\n0 0 0\n0 0 0\n"
      "0 54000000 1\n"
      "99 99 1\n");  // a ninth data line is ignored
  EXPECT_TRUE(log.ErrHas("Filter 1 3500000,3800000,2\n"));
  At(7300000);  // the upper bound is inclusive
  SetFilterFromfreq(works.works);
  EXPECT_EQ(works->cfg.filterMask, 1 << 2);
  EXPECT_TRUE(log.ErrHas(">>>>>>>>>>>>>>> SET FILTER: 3!!\n"));
  At(7100000);  // same filter: nothing queued again
  SetFilterFromfreq(works.works);
  At(3600000);  // only the disabled row and the by-pass hold it
  SetFilterFromfreq(works.works);
  EXPECT_EQ(works->cfg.filterMask, 1 << 7);
  EXPECT_EQ(Queued(), (std::vector<int32_t>{CMD_SF_SET, CMD_SF_SET}));
  At(60000000);  // no row: the previous filter stays
  SetFilterFromfreq(works.works);
  EXPECT_EQ(works->cfg.filterMask, 1 << 7);
  EXPECT_TRUE(Queued().empty());
}

TEST_F(Tables, EnablingAFilterRechoosesAndRewritesTheFile) {
  Filters("3500000 3800000 0\n0 54000000 1\n");
  At(3600000);
  SetFilterFromfreq(works.works);
  EXPECT_EQ(works->cfg.filterMask, 1 << 1);
  works->cfg.filterMenuRow = 0;
  EnDisFilter(works.works, 1);
  EXPECT_EQ(works->cfg.filterMask, 1 << 0);
  std::string file = box.Read(box.P().filterFile);
  EXPECT_EQ(file.rfind(";Fstart(hz)\tFstop         enabled   : 1= abilitata, l'ordine delle righe "
                       "corrisponde al filtro di attivazione   j23 ultimo by pass (0 ,54000000)  "
                       "verso esterno\n",
                       0),
            0u);
  EXPECT_NE(file.find("\n3500000\t\t3800000\t\t1 \n0\t\t54000000\t\t1 \n0\t\t0\t\t0 \n"),
            std::string::npos);
  EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), 9);
  // The rewritten file reads back the same.
  LoadTabFiltri(works.works);
  EXPECT_EQ(works->cfg.tabFiltri[0].enabled, 1);
  EXPECT_EQ(works->cfg.tabFiltri[1].fStop, 54000000u);
}

TEST_F(Tables, WithoutFilterFileNoFilterIsEverChosen) {
  Filters("0 54000000 1\n");
  std::remove(box.P().filterFile.c_str());
  LoadTabFiltri(works.works);
  EXPECT_TRUE(log.ErrHas("Filter File not FOUND!!\n"));
  At(14000000);
  SetFilterFromfreq(works.works);
  EXPECT_EQ(works->cfg.filterMask, 0);
}

TEST_F(Tables, FanRowsAreReadAndTheirLevelsKeptToThreeDigits) {
  box.Write(box.P().ventolaFile, ";t level\n30 0\n40.5 50.9\n50 -4\n60 5000\n");
  ReadVentolaFile(works.works);
  ASSERT_EQ(works->cfg.nRowVentola, 4);
  EXPECT_FLOAT_EQ(works->cfg.tabVentola[1].temp, 40.5f);
  EXPECT_EQ(works->cfg.tabVentola[1].level, 50);
  EXPECT_EQ(works->cfg.tabVentola[2].level, 0);
  EXPECT_EQ(works->cfg.tabVentola[3].level, 999);
  EXPECT_TRUE(log.ErrHas("N row Ventola File 4 \n"));
  EXPECT_TRUE(log.ErrHas("->t:40.50: 50 \n"));
  std::remove(box.P().ventolaFile.c_str());
  ReadVentolaFile(works.works);  // a missing file keeps the table
  EXPECT_EQ(works->cfg.nRowVentola, 4);
  EXPECT_TRUE(log.ErrHas("Ventola File not FOUND!!"));
}

TEST_F(Tables, TemperatureLogStartsAfreshWithItsHeader) {
  works->link.temp1 = 45.25f;
  works->link.temp2 = 39.0f;
  works->link.pwrFwd = 512.3f;
  works->link.swr = 1.5f;
  works->link.currentRaw = 2048;
  works->link.statusB = 1;
  LogTempFunction(works.works, LOG_TEMP_LINE);
  LogTempFunction(works.works, LOG_TEMP_DELETE);
  LogTempFunction(works.works, LOG_TEMP_LINE);
  std::string file = box.Read(box.P().logTempFile);
  ASSERT_EQ(file.rfind(";TX,Temp1,Temp2,FDD,SWR\n", 0), 0u) << file;
  EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), 2);
  EXPECT_NE(file.find(" , 1,45.2,39.0,512.3W,1.50,00.0V,07.0A\n"), std::string::npos) << file;
  LogTempFunction(works.works, LOG_TEMP_PROTECTION);
  file = box.Read(box.P().logTempFile);
  EXPECT_NE(file.find("A -> protezione attiva\n"), std::string::npos) << file;
}

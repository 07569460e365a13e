#include "tuner/banks.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "amplifier/cmd_queue.h"
#include "core/log.h"
#include "core/works.h"
#include "settings/setup_record.h"
#include "tests/support/sandbox.h"
#include "tests/tuner/tuner_harness.h"
#include "tuner/bank_files.h"
#include "tuner/tune_memory.h"
#include "tuner/tune_word.h"

namespace {
class Banks : public ::testing::Test {
 protected:
  void SetUp() override { InitTabAntenna(works.works, 0); }
  std::string File(const std::string &name) const { return box.P().setDir + "/" + name; }
  bool Exists(const std::string &name) const { return std::filesystem::exists(File(name)); }
  int Valid(int idx, int antenna) {
    TuneEntry e;
    LoadTuneValFromTabRam(e, idx, antenna, works.works);
    return e.valid;
  }
  StubTransceiverThreads threads;
  TestSandbox box;
  TestWorks works;
  LogCapture log;
};
}  // namespace

TEST_F(Banks, SaveToBankRecordsTheOperatingChoiceOfTheRowAtItsUpperBound) {
  works->link.currentFreq = 7300000;  // fStop of "40m"
  works->link.atuBypass = 1;
  works->cfg.Attenuator = 2;
  works->link.attDisplay = 2;
  works->tuner.modeWorkIdx = 1;
  SaveToBank(works.works, 5, 2);
  EXPECT_NE(box.Read(File("antenna_b5.txt")).find("40m 7000000 7300000 1 3 1 2 0.0\n"),
            std::string::npos);
  works->link.attDisplay = 4;  // stand-by: the amplifier is bypassed on this band
  SaveToBank(works.works, 5, 0);
  EXPECT_NE(box.Read(File("antenna_b5.txt")).find("40m 7000000 7300000 0 1 1 2 0.0\n"),
            std::string::npos);
  works->link.currentFreq = 8000000;  // in no row: the table is still saved
  std::filesystem::remove(File("antenna_b5.txt"));
  SaveToBank(works.works, 5, 0);
  EXPECT_TRUE(Exists("antenna_b5.txt"));
}

TEST_F(Banks, ChangeBancoStepsRoundAndLoadsTheNextBank) {
  works->cfg.MAXbank = 3;
  works->cfg.NumBanco = 0;
  box.Write(File("antenna_b2.txt"), "!Gen\n20m 14000000 14350000 1 2 0 0 0.0\n");
  box.Write(File("atu_ant1_b2.txt"), "3130 14200000 1 1 10 20\n");
  std::vector<int> seen;
  for (int i = 0; i < 3; i++) {
    ChangeBanco(works.works);
    seen.push_back(works->cfg.NumBanco);
    if (works->cfg.NumBanco == 2) {
      EXPECT_EQ(works->tuner.modeWorkIdx, 0);
      EXPECT_EQ(Valid(3130, 0), 1);
      EXPECT_EQ(works->tuner.nRowAntenna, 1);
    }
  }
  EXPECT_EQ(seen, (std::vector<int>{1, 2, 0}));
  EXPECT_EQ(works->tuner.idxRowAntenna, -1);
  EXPECT_EQ(Valid(3130, 0), 0);  // bank 0 has no files
  EXPECT_NE(box.Read(box.P().setupFile).find("NumBanco: 0"), std::string::npos);
}

TEST_F(Banks, InterfaceStepsAndIsStoredWithTheBank) {
  works->cfg.NumBanco = 1;
  works->tuner.modeWorkIdx = 2;
  ChangeInterfaceBanco(works.works);
  EXPECT_EQ(works->tuner.modeWorkIdx, 0);
  EXPECT_EQ(box.Read(File("antenna_b1.txt")).substr(0, 5), "!Gen\n");
  ChangeInterfaceBanco(works.works);
  EXPECT_EQ(box.Read(File("antenna_b1.txt")).substr(0, 6), "!Tavo\n");
}

TEST_F(Banks, TuneSavedIntoAnotherBankLeavesTheCurrentBanksData) {
  works->cfg.NumBanco = 1;
  box.Write(File("atu_ant1_b1.txt"), "2120 7100000 1 1 1 1\n");
  box.Write(File("atu_ant3_b4.txt"), "5 10000 1 2 3 4\n");
  LoadAllBankTable(works.works, 1);
  works->link.currentFreq = 14200000;
  works->tuner.tuneVal = TUNE_BIT_BYPASS;
  EXPECT_FALSE(SaveTuneInBank(works.works, 4, 2));
  EXPECT_EQ(box.Read(File("atu_ant3_b4.txt")), "5 10000 1 2 3 4\n");
  SetMode(works.works, TUNE_MODE_B);
  SetC(works.works, 30);
  EXPECT_TRUE(SaveTuneInBank(works.works, 4, 2));
  // The other bank's file keeps its entries and gains the new one.
  EXPECT_EQ(box.Read(File("atu_ant3_b4.txt")), "5 10000 1 2 3 4\n3130 14200000 1 1 0 30\n");
  EXPECT_EQ(Valid(2120, 0), 1);  // bank 1's memory is back
  EXPECT_EQ(Valid(5, 2), 0);
}

TEST_F(Banks, CopyWritesTheSourceBankAsTheDestination) {
  box.Write(File("antenna_b2.txt"), "!817\n20m 14000000 14350000 1 2 0 0 0.0\n");
  box.Write(File("atu_ant2_b2.txt"), "3130 14200000 1 1 10 20\n");
  works->tuner.modeWorkIdx = 1;
  CopyBanco(works.works, 2, 6);
  EXPECT_EQ(box.Read(File("antenna_b6.txt")), "!Tavo\n20m 14000000 14350000 1 2 0 0 0.0\n");
  EXPECT_EQ(box.Read(File("atu_ant2_b6.txt")), "3130 14200000 1 1 10 20\n");
  EXPECT_EQ(box.Read(File("atu_ant1_b6.txt")), "");
}

TEST_F(Banks, ResetDeletesOneBankOrEveryBank) {
  works->cfg.MAXbank = 3;
  works->cfg.NumBanco = 1;
  auto files = [](int bank) {
    std::string s = bank ? "_b" + std::to_string(bank) : "";
    return std::vector<std::string>{"antenna" + s + ".txt", "atu_ant1" + s + ".txt",
                                    "atu_ant2" + s + ".txt", "atu_ant3" + s + ".txt"};
  };
  for (int b = 0; b < 4; b++)
    for (const auto &f : files(b)) box.Write(File(f), "");
  ResetBanco(works.works, 1);
  for (const auto &f : files(1)) EXPECT_FALSE(Exists(f)) << f;
  EXPECT_TRUE(Exists("antenna.txt"));
  EXPECT_EQ(works->tuner.idxRowAntenna, -1);
  ResetBanco(works.works, 3);  // the entry after the last bank: all of them
  for (int b = 0; b < 3; b++)
    for (const auto &f : files(b)) EXPECT_FALSE(Exists(f)) << f;
  EXPECT_TRUE(Exists("antenna_b3.txt"));
}

#include "tuner/bank_files.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/log.h"
#include "core/works.h"
#include "tests/support/sandbox.h"
#include "tuner/banks.h"
#include "tuner/tune_memory.h"

namespace {
class BankFiles : public ::testing::Test {
 protected:
  std::string File(const std::string &name) const { return box.P().setDir + "/" + name; }
  bool Exists(const std::string &name) const { return std::filesystem::exists(File(name)); }
  AntennaRow Row(int i) {
    std::lock_guard<std::mutex> lock(works->tuner.antennaMutex);
    return works->tuner.tabAntenna[i];
  }
  TuneEntry Entry(int idx, int antenna) {
    TuneEntry e;
    LoadTuneValFromTabRam(e, idx, antenna, works.works);
    return e;
  }
  TestSandbox box;
  TestWorks works;
  LogCapture log;
};

const char TABLE[] =
    "!817\n"
    "160m 1800000 2000000 1 2 0 3 12.5\n"
    "40m 0x6ACFC0 7300000 0 3 1 1 0.0\n";
}  // namespace

TEST_F(BankFiles, BanksZeroAndAboveNineteenUseTheUnnumberedFiles) {
  const std::string d = "/opt/set";
  EXPECT_EQ(AntennaTableFile(d, 0), "/opt/set/antenna.txt");
  EXPECT_EQ(AntennaTableFile(d, 1), "/opt/set/antenna_b1.txt");
  EXPECT_EQ(AntennaTableFile(d, 19), "/opt/set/antenna_b19.txt");
  EXPECT_EQ(AntennaTableFile(d, 20), "/opt/set/antenna.txt");
  EXPECT_EQ(AtuTableFile(d, 0, 0), "/opt/set/atu_ant1.txt");
  EXPECT_EQ(AtuTableFile(d, 0, 2), "/opt/set/atu_ant3.txt");
  EXPECT_EQ(AtuTableFile(d, 19, 2), "/opt/set/atu_ant3_b19.txt");
  EXPECT_EQ(AtuTableFile(d, 20, 1), "/opt/set/atu_ant2.txt");

  // Bank 20 saves to and loads from bank 0's files.
  InitTabAntenna(works.works, 0);
  works->tuner.modeWorkIdx = 0;
  ASSERT_TRUE(SaveTabConfig(works.works, 20));
  EXPECT_TRUE(Exists("antenna.txt"));
  box.Write(File("atu_ant1.txt"), "7 14000 1 1 2 3\n");
  LoadTabAtu(works.works, 20, 0);
  EXPECT_EQ(Entry(7, 0).C, 3);
  box.Write(File("antenna_b19.txt"), "!Gen\n");
  EXPECT_EQ(LoadTabConfig(works.works, 19), 0);
}

TEST_F(BankFiles, AntennaTableReadsAndWritesByteForByte) {
  box.Write(File("antenna_b3.txt"), std::string(";comment\r\n") + TABLE);
  EXPECT_EQ(LoadTabConfig(works.works, 3), 2);
  EXPECT_EQ(works->tuner.nRowAntenna, 2);
  EXPECT_EQ(works->tuner.idxRowAntenna, -1);
  AntennaRow r = Row(1);
  EXPECT_STREQ(r.Band, "40m");
  EXPECT_EQ(r.fStart, 7000000);  // bounds in any base
  EXPECT_EQ(r.Ant, 3);
  EXPECT_EQ(r.Atu, 1);
  EXPECT_FLOAT_EQ(Row(0).Pwr, 12.5f);
  works->tuner.modeWorkIdx = 2;
  ASSERT_TRUE(SaveTabConfig(works.works, 3));
  EXPECT_EQ(box.Read(File("antenna_b3.txt")),
            "!817\n"
            "160m 1800000 2000000 1 2 0 3 12.5\n"
            "40m 7000000 7300000 0 3 1 1 0.0\n");
  works->tuner.modeWorkIdx = 1;
  SaveTabConfig(works.works, 3);
  EXPECT_EQ(box.Read(File("antenna_b3.txt")).substr(0, 6), "!Tavo\n");
  works->tuner.modeWorkIdx = -1;
  SaveTabConfig(works.works, 3);
  EXPECT_EQ(box.Read(File("antenna_b3.txt")).substr(0, 5), "!Gen\n");
}

TEST_F(BankFiles, InterfaceLineAloneAndAbsentAndTooManyRows) {
  box.Write(File("antenna_b1.txt"), "!817\n");
  EXPECT_EQ(LoadTabConfig(works.works, 1), 2);
  EXPECT_EQ(works->tuner.nRowAntenna, 0);

  std::string rows;
  for (int i = 0; i < 12; i++) rows += "b" + std::to_string(i) + " 100 200 1 1 0 0 0.0\n";
  box.Write(File("antenna_b1.txt"), rows + "!Gen\n");
  EXPECT_EQ(LoadTabConfig(works.works, 1), 0);  // the last interface line wins
  EXPECT_EQ(works->tuner.nRowAntenna, 11);
  EXPECT_STREQ(Row(10).Band, "b10");

  box.Write(File("antenna_b1.txt"), "20m 14000000 14350000 1 1 0 0 0.0\n");
  EXPECT_EQ(LoadTabConfig(works.works, 1), 1);  // no interface line: the companion transceiver
}

TEST_F(BankFiles, MissingFileGivesTheDefaultsAndAZeroBoundRepairsNamesAndBounds) {
  EXPECT_EQ(LoadTabConfig(works.works, 4), 1);
  EXPECT_EQ(works->tuner.nRowAntenna, 11);
  AntennaRow r = Row(3);
  EXPECT_STREQ(r.Band, "40m");
  EXPECT_EQ(r.fStart, 7000000);
  EXPECT_EQ(r.fStop, 7300000);
  EXPECT_EQ(r.AmpEnable, 0);
  EXPECT_EQ(r.Ant, 1);
  EXPECT_EQ(r.Atu, 1);
  EXPECT_STREQ(Row(10).Band, "6m");

  // A name of more than 7 letters: the numbers are read from the ninth
  // character, so the bounds read 0 and the table is repaired.
  box.Write(File("antenna_b4.txt"),
            "160m 1800000 2000000 1 2 0 3 0.0\nLONGBANDNAME 3500000 4000000 1 3 0 2 0.0\n");
  LoadTabConfig(works.works, 4);
  EXPECT_TRUE(log.ErrHas("Error Reinit antenna\n"));
  EXPECT_EQ(works->tuner.nRowAntenna, 11);
  EXPECT_STREQ(Row(1).Band, "80m");
  EXPECT_EQ(Row(1).fStart, 3500000);
  EXPECT_EQ(Row(0).Ant, 2);  // the other columns are kept
  EXPECT_EQ(Row(0).AmpEnable, 1);

  // A row that is only a name reads no numbers past its end.
  box.Write(File("antenna_b4.txt"), "40m\n\n");
  log.Clear();
  LoadTabConfig(works.works, 4);
  EXPECT_TRUE(log.ErrHas("Error Reinit antenna\n"));
}

TEST_F(BankFiles, AtuTableReadsAndWritesByteForByte) {
  TuneEntry e5{1, 2, 100, 200}, e4000{1, 1, 7, 511};
  SaveTuneValsuTabRam(e4000, 4000, 1, works.works);
  SaveTuneValsuTabRam(e5, 5, 1, works.works);
  ASSERT_TRUE(SaveTabAtu(works.works, 2, 1));
  const std::string text = "5 10000 1 2 100 200\n4000 25625000 1 1 7 511\n";
  EXPECT_EQ(box.Read(File("atu_ant2_b2.txt")), text);
  EXPECT_TRUE(log.ErrHas("SaveTabAtu Bank2 , antenna 1\n"));

  box.Write(File("atu_ant3_b2.txt"), ";idx freq valid modo L C\r\n" + text + "5 0 1 3 9 8\r\n");
  LoadTabAtu(works.works, 2, 2);
  EXPECT_EQ(Entry(4000, 2).C, 511);
  TuneEntry later;  // a later line for the same index wins; bypass stored as such
  {
    std::lock_guard<std::mutex> lock(works->tuner.tuneMemMutex);
    later = works->tuner.tabTuneRam[2][5];
  }
  EXPECT_EQ(later.modo, 3);
  EXPECT_EQ(later.L, 9);
  SaveTabAtu(works.works, 2, 2);
  EXPECT_EQ(box.Read(File("atu_ant3_b2.txt")), "5 10000 1 3 9 8\n4000 25625000 1 1 7 511\n");
}

TEST_F(BankFiles, AtuTableLoadReplacesTheMemoryAndSkipsBadIndices) {
  SaveTuneValsuTabRam(TuneEntry{1, 1, 1, 1}, 100, 0, works.works);
  box.Write(File("atu_ant1_b1.txt"), "5000 0 1 1 1 1\n-2 0 1 1 1 1\n4999 71450000 1 2 3 4\n");
  LoadTabAtu(works.works, 1, 0);
  EXPECT_EQ(Entry(100, 0).valid, 0);  // cleared first
  EXPECT_EQ(Entry(4999, 0).C, 4);
  EXPECT_EQ(log.ErrCount("LoadTabAtu Errore idx\n"), 1);

  // At most 5000 data lines; comments do not count.
  std::string text = ";c\n";
  for (int i = 0; i < 5000; i++) text += "1 0 1 1 1 1\n";
  box.Write(File("atu_ant1_b1.txt"), text + "2 0 1 1 1 1\n");
  LoadTabAtu(works.works, 1, 0);
  EXPECT_EQ(Entry(1, 0).valid, 1);
  EXPECT_EQ(Entry(2, 0).valid, 0);

  std::filesystem::remove(File("atu_ant1_b1.txt"));
  LoadTabAtu(works.works, 1, 0);
  EXPECT_EQ(Entry(1, 0).valid, 0);
}

// Columns that become commands are brought into range, one log line each;
// an ATU entry whose network, L or C the word cannot hold is not loaded.
TEST_F(BankFiles, OutOfRangeColumnsAndEntriesAreNotTakenAsTheyCome) {
  box.Write(File("antenna_b1.txt"),
            "!Tavo\n40m 7000000 7300000 5 9 3 7 0.0\n"
            "20m 14000000 14350000 1 0 0 3 0.0\n");
  LoadTabConfig(works.works, 1);
  AntennaRow forty = Row(0), twenty = Row(1);
  EXPECT_EQ(forty.AmpEnable, 0);
  EXPECT_EQ(forty.Ant, 1);
  EXPECT_EQ(forty.Atu, 1);
  EXPECT_EQ(forty.Att, 0);
  EXPECT_TRUE(log.SysHas("antenna table, row 40m: Ant 9 is not in 0..3, 1 used", LOG_PRIO_ERR));
  EXPECT_EQ(twenty.AmpEnable, 1);  // in range: as written
  EXPECT_EQ(twenty.Ant, 0);
  EXPECT_EQ(twenty.Att, 3);
  int lines = 0;
  for (const auto &l : log.Sys()) lines += l.text.find("antenna table, row") != std::string::npos;
  EXPECT_EQ(lines, 4);

  box.Write(File("atu_ant1_b1.txt"),
            "3130 14200000 1 1 600 20\n3131 14200000 1 7 10 20\n3132 14200000 1 2 10 -1\n"
            "3133 14200000 1 2 511 511\n");
  LoadTabAtu(works.works, 1, 0);
  for (int idx : {3130, 3131, 3132}) EXPECT_EQ(Entry(idx, 0).valid, 0) << idx;
  EXPECT_EQ(Entry(3133, 0).valid, 1);
  EXPECT_TRUE(log.SysHas("ATU table, index 3130: network 1, L 600, C 20 out of range, not loaded",
                         LOG_PRIO_ERR));
}

TEST_F(BankFiles, DeleteRemovesOneFileOfBanksZeroToNineteenOnly) {
  for (const char *f : {"atu_ant2_b7.txt", "antenna_b7.txt", "antenna.txt"})
    box.Write(File(f), "x");
  DeleteFileConf(works.works, 7, 1);
  EXPECT_FALSE(Exists("atu_ant2_b7.txt"));
  EXPECT_TRUE(Exists("antenna_b7.txt"));
  DeleteFileConf(works.works, 7, 3);
  EXPECT_FALSE(Exists("antenna_b7.txt"));
  DeleteFileConf(works.works, 20, 3);  // no file of its own: bank 0's is kept
  EXPECT_TRUE(Exists("antenna.txt"));
  EXPECT_TRUE(log.SysHas("can't delete file bank 20", 3));
}

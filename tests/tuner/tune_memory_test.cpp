#include "tuner/tune_memory.h"

#include <gtest/gtest.h>

#include "core/log.h"
#include "core/works.h"
#include "tests/support/sandbox.h"
#include "tuner/tune_word.h"

namespace {
int Idx(uint32_t freq) {
  int32_t s, e;
  int first, end;
  return AtuIdxSearch(freq, s, e, first, end);
}

class TuneMemory : public ::testing::Test {
 protected:
  void Store(int idx, int modo, int L, int C, int antenna = 0) {
    TuneEntry e{1, uint8_t(modo), int16_t(L), int16_t(C)};
    SaveTuneValsuTabRam(e, idx, antenna, works.works);
  }
  // Loads the memory's tune for `freq` into a word that differs from it.
  void LoadAt(uint32_t freq, int antenna = 0) {
    works->link.currentFreq = freq;
    works->tuner.tuneVal = TUNE_BIT_B;
    LoadTuneFromMEM(works.works, antenna);
  }
  TestWorks works;
  LogCapture log;
};
}  // namespace

TEST(AtuGrid, DocumentedIndicesAndSegmentBounds) {
  EXPECT_EQ(Idx(7100000), 2120);
  EXPECT_EQ(Idx(7102499), 2120);
  EXPECT_EQ(Idx(7102500), 2121);
  EXPECT_EQ(Idx(1799000), 900);  // nearest point across the 160 m edge
  EXPECT_EQ(Idx(7299000), 2160);
  EXPECT_EQ(Idx(60000000), 4770);  // last segment extended, plus one
  EXPECT_EQ(Idx(54000000), 4649);
  EXPECT_EQ(Idx(0), 0);
  int32_t s, e;
  int first, end;
  EXPECT_EQ(AtuIdxSearch(7100000, s, e, first, end), 2120);
  EXPECT_EQ(s, 7000000);
  EXPECT_EQ(e, 7300000);
  EXPECT_EQ(first, 2100);
  EXPECT_EQ(end, 2160);
  AtuIdxSearch(70000000, s, e, first, end);
  EXPECT_EQ(s, 50000000);
  EXPECT_EQ(first, 4569);
  EXPECT_EQ(end, 4649);
  // First index of every segment, as documented.
  const int firsts[] = {0,    900,  1000, 1375, 1500, 1766, 1780, 2100, 2160, 2720, 2725,
                        3110, 3145, 3510, 3527, 3810, 3835, 3969, 3975, 4095, 4163, 4569};
  for (int i = 0; i < ATU_SEGMENTS; i++) {
    AtuIdxSearch(uint32_t(tabAtuStep[i][0]), s, e, first, end);
    EXPECT_EQ(first, firsts[i]) << i;
    EXPECT_EQ(end, i + 1 < ATU_SEGMENTS ? firsts[i + 1] : 4649) << i;
  }
}

TEST(AtuGrid, FrequencyOfAnIndexMapsBackToIt) {
  EXPECT_EQ(AtuFreqfromIdx(2120), 7100000);
  EXPECT_EQ(AtuFreqfromIdx(900), 1800000);
  EXPECT_EQ(AtuFreqfromIdx(4649), 54000000);
  for (int i = 0; i <= ATU_LAST_INDEX; i++) ASSERT_EQ(Idx(uint32_t(AtuFreqfromIdx(i))), i) << i;
  // Beyond the grid the last step continues; 4650 shares 54 MHz's point.
  EXPECT_EQ(AtuFreqfromIdx(4770), 60000000);
  EXPECT_EQ(AtuFreqfromIdx(4650), 54000000);
  for (int i = 4651; i < TUNE_MEM_SIZE; i++) ASSERT_EQ(Idx(uint32_t(AtuFreqfromIdx(i))), i) << i;
}

TEST_F(TuneMemory, NearestEntryOfTheSameSegmentIsLoaded) {
  EXPECT_EQ(EsisteTuneValInTabRam(works.works, 2120, 2100, 2160, 0), 1);  // empty table
  Store(2099, 1, 9, 9);  // the previous segment: never considered
  Store(2125, 2, 120, 33);
  EXPECT_EQ(EsisteTuneValInTabRam(works.works, 2120, 2100, 2160, 0), 0);
  LoadAt(7100000);
  EXPECT_EQ(works->tuner.valL, 120);
  EXPECT_EQ(works->tuner.valC, 33);
  EXPECT_EQ(works->tuner.modoTune, TUNE_MODE_A);
  EXPECT_EQ(DecodeModoFromTuneval(works->tuner.tuneVal), TUNE_MODE_A);
  EXPECT_TRUE(
      log.ErrHas(">>>>>>>>>>>>>>> MEMTUNE: load a Tune for 7100000 idx:2125 -> C 33 I 120!!\n"));
  // Other antennas keep their own tables.
  EXPECT_EQ(SearchBestTune(works.works, 2120, 2100, 2160, 1), -1);
  // Of two equally near entries the lower index wins.
  Store(2118, 1, 18, 18);
  Store(2122, 1, 22, 22);
  LoadAt(7100000);
  EXPECT_EQ(works->tuner.valL, 18);
}

TEST_F(TuneMemory, UpperHalfStepOfASegmentBelongsToTheNextOne) {
  Store(2100, 1, 1, 1);
  LoadAt(7299000);  // index 2160: the entry at 2100 is 60 away, never nearer than the start
  EXPECT_FALSE(log.ErrHas("MEMTUNE"));
  Store(2150, 1, 50, 50);
  LoadAt(7299000);
  EXPECT_EQ(works->tuner.valL, 50);
  Store(2160, 2, 60, 60);
  LoadAt(7299000);
  EXPECT_EQ(works->tuner.valL, 60);
}

TEST_F(TuneMemory, StoredBypassLoadsAsNetworkBAndNothingChangesWhenEqual) {
  Store(2120, TUNE_MODE_BYPASS, 40, 41);
  TuneEntry e;
  LoadTuneValFromTabRam(e, 2120, 0, works.works);
  EXPECT_EQ(e.modo, TUNE_MODE_B);
  LoadAt(7100000);
  EXPECT_EQ(works->tuner.modoTune, TUNE_MODE_B);
  EXPECT_EQ(works->link.atuBypass, 0);
  log.Clear();
  LoadTuneFromMEM(works.works, 0);  // already loaded
  EXPECT_FALSE(log.ErrHas("MEMTUNE"));
}

TEST_F(TuneMemory, IndicesOutsideTheMemoryAreIgnored) {
  Store(5000, 1, 5, 5);
  Store(-1, 1, 5, 5);
  TuneEntry e{9, 9, 9, 9};
  LoadTuneValFromTabRam(e, 5000, 0, works.works);
  EXPECT_EQ(e.valid, 0);
  LoadTuneValFromTabRam(e, -3, 0, works.works);
  EXPECT_EQ(e.L, 0);
  Store(4999, 1, 7, 7, 2);
  LoadTuneValFromTabRam(e, 4999, 5, works.works);  // any antenna above 1 is the third table
  EXPECT_EQ(e.L, 7);
}

TEST_F(TuneMemory, InsertStoresTheWordAndRewritesTheAtuFile) {
  TestSandbox box;
  works->link.currentFreq = 14200000;
  works->tuner.tuneVal = 0;
  SetC(works.works, 123);
  SetI(works.works, 45);
  SetMode(works.works, TUNE_MODE_A);
  InsertTuneToMem(works.works, 2, 1);
  TuneEntry e;
  LoadTuneValFromTabRam(e, 3130, 1, works.works);
  EXPECT_EQ(e.valid, 1);
  EXPECT_EQ(e.C, 123);
  EXPECT_EQ(e.L, 45);
  EXPECT_EQ(box.Read(box.P().setDir + "/atu_ant2_b2.txt"), "3130 14200000 1 2 45 123\n");
  EXPECT_TRUE(log.ErrHas("--------------> Save Tune To File idx 14200000 (idx:3130)\n"));
  EXPECT_TRUE(log.ErrHas("-------------- Save TuneVal C:123, L:45, M:2\n"));
}

#include "tuner/tune_word.h"

#include <gtest/gtest.h>

#include "core/log.h"
#include "core/works.h"
#include "tests/support/sandbox.h"

namespace {
constexpr uint32_t C_GROUP = (1u << 15) | (1u << 2) | (1u << 4) | (1u << 6) | (1u << 14) |
                             (1u << 12) | (1u << 10) | (1u << 8) | (1u << 20) | (1u << 22);
constexpr uint32_t L_GROUP = (1u << 1) | (1u << 3) | (1u << 5) | (1u << 7) | (1u << 13) |
                             (1u << 11) | (1u << 9) | (1u << 19) | (1u << 21) | (1u << 17);
constexpr uint32_t UNTOUCHED = 0xFF000001u;  // bit 0 and 24..31
}  // namespace

TEST(TuneWord, EveryCAndLValuePacksIntoItsOwnBitsAndBack) {
  TestWorks works;
  for (int v = 0; v <= 511; v++) {
    works->tuner.tuneVal = UNTOUCHED | TUNE_BIT_A;
    SetC(works.works, v);
    uint32_t w = works->tuner.tuneVal;
    ASSERT_EQ(DecodeCapacitaFromTuneval(w), v);
    ASSERT_EQ(w & ~C_GROUP, UNTOUCHED | TUNE_BIT_A) << v;
    SetI(works.works, 511 - v);
    w = works->tuner.tuneVal;
    ASSERT_EQ(DecodeInduttanzaFromTuneval(w), 511 - v);
    ASSERT_EQ(DecodeCapacitaFromTuneval(w), v);
    ASSERT_EQ(DecodeModoFromTuneval(w), TUNE_MODE_A);
    ASSERT_EQ(w & UNTOUCHED, UNTOUCHED);
  }
  // The documented bit of value bit 0 and of value bit 8 of each group.
  works->tuner.tuneVal = 0;
  SetC(works.works, 1);
  EXPECT_EQ(works->tuner.tuneVal, 1u << 15);
  SetC(works.works, 256);
  EXPECT_EQ(works->tuner.tuneVal, 1u << 20);
  SetI(works.works, 129);
  EXPECT_EQ(works->tuner.tuneVal, (1u << 20) | (1u << 1) | (1u << 19));
}

TEST(TuneWord, ValuesAreCutToNineBitsAndTheSpareGroupBitsAreCleared) {
  TestWorks works;
  works->tuner.tuneVal = (1u << 22) | (1u << 17);
  SetC(works.works, 600);
  EXPECT_EQ(DecodeCapacitaFromTuneval(works->tuner.tuneVal), 88);
  EXPECT_FALSE(works->tuner.tuneVal & (1u << 22));
  EXPECT_TRUE(works->tuner.tuneVal & (1u << 17));
  SetI(works.works, 0);
  EXPECT_FALSE(works->tuner.tuneVal & (1u << 17));
  // Decoding ignores the spare bits.
  EXPECT_EQ(DecodeCapacitaFromTuneval(1u << 22), 0);
  EXPECT_EQ(DecodeInduttanzaFromTuneval(1u << 17), 0);
}

TEST(TuneWord, ModeBitsSetAndDecode) {
  TestWorks works;
  LogCapture log;
  struct Case {
    int mode;
    uint32_t bits;
    uint8_t bypass;
  };
  for (Case c : {Case{1, TUNE_BIT_B, 0}, Case{2, TUNE_BIT_A, 0}, Case{3, TUNE_BIT_BYPASS, 1},
                 Case{0, TUNE_BIT_BYPASS, 1}}) {
    works->tuner.tuneVal = TUNE_BIT_A | TUNE_BIT_B | TUNE_BIT_BYPASS | 0x8000;
    SetMode(works.works, c.mode);
    EXPECT_EQ(works->tuner.tuneVal, c.bits | 0x8000) << c.mode;
    EXPECT_EQ(works->link.atuBypass, c.bypass) << c.mode;
    EXPECT_EQ(works->tuner.modoTune, c.mode);
  }
  works->tuner.tuneVal = TUNE_BIT_A;
  SetMode(works.works, 4);
  EXPECT_EQ(works->tuner.tuneVal, TUNE_BIT_A);

  EXPECT_EQ(DecodeModoFromTuneval(0), 0);
  EXPECT_EQ(DecodeModoFromTuneval(TUNE_BIT_B), 1);
  EXPECT_EQ(DecodeModoFromTuneval(TUNE_BIT_A), 2);
  EXPECT_EQ(DecodeModoFromTuneval(TUNE_BIT_BYPASS), 3);
  EXPECT_EQ(DecodeModoFromTuneval(TUNE_BIT_B | TUNE_BIT_A | 0x8000), 0);
  EXPECT_TRUE(log.ErrHas("DecodeModoFromTuneval -> tune: 0x840000 \n"));
}

TEST(TuneWord, ReadTneParTurnsAWordWithoutNetworkIntoABypass) {
  TestWorks works;
  works->tuner.tuneVal = 0;
  SetC(works.works, 77);
  SetI(works.works, 300);
  ReadTnePar(works.works);
  EXPECT_EQ(works->tuner.valC, 77);
  EXPECT_EQ(works->tuner.valL, 300);
  EXPECT_EQ(works->tuner.modoTune, TUNE_MODE_BYPASS);
  EXPECT_EQ(works->link.atuBypass, 1);
  EXPECT_EQ(DecodeModoFromTuneval(works->tuner.tuneVal), TUNE_MODE_BYPASS);
  EXPECT_EQ(DecodeCapacitaFromTuneval(works->tuner.tuneVal), 77);
}

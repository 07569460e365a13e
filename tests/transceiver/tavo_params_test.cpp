#include "transceiver/tavo_params.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/works.h"
#include "sim/transceiver/ext_io_messages.h"
#include "tests/support/sandbox.h"

namespace {
using namespace tavo;

// Byte 0, then the frequency as eight hexadecimal digits in the link's encoding.
std::vector<uint8_t> NineByteBlock(uint8_t b0, uint32_t hz) {
  std::vector<uint8_t> block{b0};
  for (int shift = 28; shift >= 0; shift -= 4) block.push_back(0x30 + ((hz >> shift) & 0x0F));
  return block;
}

// A block long enough to carry the squelch byte (11) and nothing else valid.
std::vector<uint8_t> SquelchBlock(int squelchNibble) {
  std::vector<uint8_t> block = NineByteBlock(0x00, 14074000);
  block.push_back(0x00);  // byte 9: no mode
  block.push_back(0x00);  // byte 10: no volume select
  block.push_back(static_cast<uint8_t>(0x40 | squelchNibble));
  return block;
}

class TavoParams : public ::testing::Test {
 protected:
  void Store(const std::vector<uint8_t> &block) {
    storeParameters(works.works, static_cast<int>(block.size()), block.data());
  }
  int32_t W(int word) {
    TavoParamsRecord copy{};
    getParameters(&copy, works.works);
    return copy.word[word];
  }
  TestWorks works;
};
}  // namespace

TEST_F(TavoParams, NineByteBlockSetsVfoAAndLeavesTheModes) {
  TrxState radio;
  radio.modeA = 6;
  Store(EncodeParameterBlock(radio, false));
  ASSERT_EQ(W(mode), 6);

  std::vector<uint8_t> block = NineByteBlock(0x00, 14074000);
  EXPECT_EQ(block[1], '0');
  EXPECT_EQ(block[3], '=');  // 0x00D6C090: the digit 13 is carried as '='
  Store(block);
  EXPECT_EQ(W(freqA), 14074000);
  EXPECT_EQ(W(freq), 14074000);
  EXPECT_EQ(W(freqNow), 14074000);
  EXPECT_EQ(W(mode), 6);
  EXPECT_EQ(W(modeA), 6);
}

TEST_F(TavoParams, VfoBBlockFillsFreqBAndTheOperatingVfoDecides) {
  Store(NineByteBlock(0x00, 14074000));
  Store(NineByteBlock(0x10, 7074000));  // block of VFO B, VFO A operating
  EXPECT_EQ(W(freqB), 7074000);
  EXPECT_EQ(W(freqA), 14074000);
  EXPECT_EQ(W(freq), 14074000);
  EXPECT_EQ(W(freqPrev), 14074000);

  Store(NineByteBlock(0x30, 7074000));  // VFO B now operating
  EXPECT_EQ(W(vfoBActive), 1);
  EXPECT_EQ(W(freq), 7074000);
  EXPECT_EQ(W(freqPrev), 14074000);
  EXPECT_EQ(W(freqNow), 7074000);

  Store(NineByteBlock(0x21, 14200000));  // memory mode wins over either VFO
  EXPECT_EQ(W(memMode), 1);
  EXPECT_EQ(W(freqMem), 14200000);
  EXPECT_EQ(W(freq), 14200000);
  EXPECT_EQ(W(freqB), 7074000);
}

TEST_F(TavoParams, LevelRuleRemembersTheLastLevelAsNegative) {
  Store(SquelchBlock(0));
  EXPECT_EQ(W(squelch), -1);  // never had a level
  Store(SquelchBlock(7));
  EXPECT_EQ(W(squelch), 7);
  Store(SquelchBlock(0));
  EXPECT_EQ(W(squelch), -7);
  Store(SquelchBlock(0));
  EXPECT_EQ(W(squelch), -7);
  Store(SquelchBlock(3));
  EXPECT_EQ(W(squelch), 3);
}

TEST_F(TavoParams, VolumeOffFirstTakesEachVolumesOwnInitialLevel) {
  TrxState radio;
  radio.volume = 0;
  std::vector<uint8_t> block = EncodeParameterBlock(radio, false);
  Store(block);
  EXPECT_EQ(W(volume), 50);
  block[10] = 0x40 | (1 << 4);  // byte 22 now carries the aux volume
  Store(block);
  EXPECT_EQ(W(volumeAux), 50);
  block[10] = 0x40 | (2 << 4);  // ... and now the side volume
  Store(block);
  EXPECT_EQ(W(volumeSide), 5);
  EXPECT_EQ(W(volume), 50);
}

TEST_F(TavoParams, EveryFieldOfAFullBlockAsTheSimulatedTransceiverMeansIt) {
  TrxState radio;
  radio.freqB = 3573000;
  radio.vfoB = true;
  radio.modeB = 3;
  radio.tx = true;
  radio.squelch = 9;
  radio.volume = 77;
  radio.nr = 4;
  radio.nb = 2;
  radio.att = true;
  radio.an = 2;
  radio.offset3 = 0xABC;
  radio.offset5 = -300;
  radio.signal = 12;
  Store(EncodeParameterBlock(radio, true));
  EXPECT_EQ(W(freq), 3573000);
  EXPECT_EQ(W(freqB), 3573000);
  EXPECT_EQ(W(hdrBit6), 1);
  EXPECT_EQ(W(blockVfoB), 1);
  EXPECT_EQ(W(b9bit6), 1);  // transmitting
  EXPECT_EQ(W(mode), 3);
  EXPECT_EQ(W(modeB), 3);
  EXPECT_EQ(W(squelch), 9);
  EXPECT_EQ(W(volume), 77);
  EXPECT_EQ(W(nr), 4);
  EXPECT_EQ(W(nb), 2);
  EXPECT_EQ(W(att), 1);
  EXPECT_EQ(W(lp), -1);
  EXPECT_EQ(W(an), 2);
  EXPECT_EQ(W(b20bit0), 1);
  EXPECT_EQ(W(offset3), 0xABC);
  EXPECT_EQ(W(offset5), -300);
  EXPECT_EQ(W(level21), 12);
  EXPECT_EQ(W(sign3), 1);
  EXPECT_EQ(W(sign0), -1);
  // Byte 12 = 0x90 (middle nibble 2, bit 2 clear), byte 13 low nibble 1.
  EXPECT_EQ(W(b12mid), 2);
  EXPECT_EQ(W(b13low), 1);
  EXPECT_EQ(W(b12sel), 3);
  EXPECT_EQ(W(p16), 5);
  EXPECT_EQ(W(p17), 10);
  EXPECT_EQ(W(p18), 3);
  EXPECT_EQ(W(p19hi), 2);
  EXPECT_EQ(W(p19lo), 3);
  EXPECT_EQ(W(21), 0);  // no field
}

TEST_F(TavoParams, FieldsWithoutTheirMarkerBitsAreLeftAlone) {
  TrxState radio;
  Store(EncodeParameterBlock(radio, false));
  std::vector<uint8_t> block = EncodeParameterBlock(radio, false);
  block[9] = 0x05;   // bit 7 clear: no mode
  block[11] = 0x80;  // bits 7-6 not 01: no squelch
  block[14] = 0x45;  // high nibble not 3: no noise reduction
  block[18] = 0x00;  // breaks the 16..19 group
  Store(block);
  EXPECT_EQ(W(mode), 6);
  EXPECT_EQ(W(squelch), 3);
  EXPECT_EQ(W(nr), -1);  // from the first block's level 0
  EXPECT_EQ(W(p18), 3);
}

TEST_F(TavoParams, DigitsAreOredWithTheDigitBaseAndTheOffsetSignIsInTheFirstDigit) {
  EXPECT_EQ(TavoDigit('0'), 0u);
  EXPECT_EQ(TavoDigit('?'), 15u);
  EXPECT_EQ(TavoDigit(0x05), 5u);
  std::vector<uint8_t> block = NineByteBlock(0x00, 0);
  block[8] = 0x0A;  // ORed with 0x30 gives ':' = 10
  block.resize(31, 0);
  const uint8_t digits[] = {'8', '0', '0', '0', '1'};  // −0x80000 + 1
  std::copy(digits, digits + 5, block.begin() + 26);
  Store(block);
  EXPECT_EQ(W(freqA), 10);
  EXPECT_EQ(W(offset5), -0x80000 + 1);
}

TEST_F(TavoParams, ShortBlocksReadNothingBeyondTheirLength) {
  const uint8_t three[3] = {0x00, '1', '2'};
  storeParameters(works.works, 3, three);
  EXPECT_EQ(W(freqA), 0x12000000);
  storeParameters(works.works, 0, nullptr);
  EXPECT_EQ(W(freqA), 0);
}

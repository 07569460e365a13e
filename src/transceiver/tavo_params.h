#pragma once
// The companion transceiver's parameter block and the record it fills.
#include <cstdint>

#include "transceiver/state.h"

struct Works;

// Word numbers of TavoParamsRecord.
namespace tavo {
enum Word : int {
  hdrBit6 = 0,
  vfoBActive = 1,
  blockVfoB = 2,
  freq = 3,
  freqBlock = 4,
  freqA = 5,
  freqB = 6,
  freqMem = 7,
  freqPrev = 8,
  freqNow = 9,
  b9bit6 = 10,  // 1 while the transceiver transmits
  b9bit5 = 11,
  b9bit4 = 12,
  mode = 13,
  modeBlock = 14,
  modeA = 15,
  modeB = 16,
  volSel = 17,
  sign3 = 18,
  sign2 = 19,
  sign1 = 20,
  sign0 = 22,
  squelch = 23,
  b12bit2 = 24,
  b13low = 25,
  b12low = 26,
  b12mid = 27,
  b12sel = 28,
  nr = 29,
  nb = 30,
  b13bit5 = 31,
  b13bit4 = 32,
  p16 = 33,
  p17 = 34,
  p18 = 35,
  p19hi = 36,
  p19lo = 37,
  att = 38,
  lp = 39,
  an = 40,
  b20bit0 = 41,
  volume = 42,
  volumeAux = 43,
  volumeSide = 44,
  offset3 = 45,
  level21 = 46,
  offset5 = 47,
  b11bit5 = 48,  // passed on to the amplifier with "AN%d;"
  b11bit4 = 49,
  memMode = 50,
  b0bits32 = 51,
};
}  // namespace tavo

// Bytes of a parameter block that carry meaning; longer blocks are accepted.
constexpr int TAVO_BLOCK_BYTES = 31;

// Value of one byte of the digit encoding (0x30..0x3F carry 0..15).
uint32_t TavoDigit(uint8_t byte);

// Decodes a parameter block of `len` bytes into TavoParams under serMut.
// Bytes missing from a short block count as zero.
void storeParameters(Works *works, int len, const uint8_t *block);

// Copies the whole record under serMut; nothing is copied when the record or
// its lock is missing.
void getParameters(TavoParamsRecord *dst, Works *works);

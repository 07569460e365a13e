#include "transceiver/tavo_params.h"

#include <cstring>

#include "core/log.h"
#include "core/works.h"

namespace {
using namespace tavo;

int32_t Bit(uint8_t byte, int n) { return (byte >> n) & 1; }

// Fields that are switched off keep their last level as a negative number,
// so that switching them on again can restore it.
void StoreLevel(int32_t &field, int32_t value, int32_t initial) {
  if (value != 0) {
    field = value;
    return;
  }
  field = field > 0 ? -field : field;
  if (field == 0) field = initial;
}

// Unsigned arithmetic: noise bytes give large digits, which wrap instead of
// overflowing.
uint32_t Digits(const uint8_t *bytes, int count) {
  uint32_t value = 0;
  for (int i = 0; i < count; i++) value = value * 16 + TavoDigit(bytes[i]);
  return value;
}

void StoreHeader(int32_t *w, uint8_t b0) {
  w[hdrBit6] = Bit(b0, 6);
  w[vfoBActive] = Bit(b0, 5);
  w[blockVfoB] = Bit(b0, 4);
  w[memMode] = Bit(b0, 0);
  w[b0bits32] = (b0 >> 2) & 3;
}

void StoreFrequency(int32_t *w, const uint8_t *b) {
  w[freqBlock] = static_cast<int32_t>(Digits(b + 1, 8));
  if (w[memMode]) {
    w[freqMem] = w[freqBlock];
    w[freq] = w[freqMem];
  } else {
    w[w[blockVfoB] ? freqB : freqA] = w[freqBlock];
    w[freq] = w[vfoBActive] ? w[freqB] : w[freqA];
  }
  w[freqPrev] = w[freqNow];
  w[freqNow] = w[freq];
}

void StoreMode(int32_t *w, uint8_t b9) {
  w[b9bit6] = Bit(b9, 6);
  w[b9bit5] = Bit(b9, 5);
  w[b9bit4] = Bit(b9, 4);
  w[modeBlock] = b9 & 0x0F;
  w[w[blockVfoB] ? modeB : modeA] = w[modeBlock];
  w[mode] = w[vfoBActive] ? w[modeB] : w[modeA];
}

void StoreSigns(int32_t *w, uint8_t b10) {
  w[volSel] = (b10 >> 4) & 3;
  w[sign3] = Bit(b10, 3) ? -1 : 1;
  w[sign2] = Bit(b10, 2) ? -1 : 1;
  w[sign1] = Bit(b10, 1) ? -1 : 1;
  w[sign0] = Bit(b10, 0) ? 1 : -1;
}

void StoreSquelch(int32_t *w, uint8_t b11) {
  w[b11bit5] = Bit(b11, 5);
  w[b11bit4] = Bit(b11, 4);
  StoreLevel(w[squelch], b11 & 0x0F, -1);
}

void StoreBytes12And13(int32_t *w, uint8_t b12, uint8_t b13) {
  w[b12bit2] = Bit(b12, 2);
  StoreLevel(w[b12low], b12 & 3, 0);
  StoreLevel(w[b12mid], (b12 >> 3) & 0x0F, 0);
  w[b13bit5] = Bit(b13, 5);
  w[b13bit4] = Bit(b13, 4);
  StoreLevel(w[b13low], b13 & 0x0F, 0);
  w[b12sel] = w[b12bit2] ? (b13 & 0x0F) + 5 : ((b12 >> 3) & 0x0F) + 1;
}

void StorePanel(int32_t *w, const uint8_t *b) {
  w[p16] = (b[16] & 0x1F) + 1;
  w[p17] = (b[17] & 0x1F) + 1;
  w[p18] = (b[18] & 0x0F) + 1;
  w[p19hi] = ((b[19] >> 2) & 7) + 1;
  w[p19lo] = (b[19] & 3) + 1;
}

void StoreAttenuators(int32_t *w, uint8_t b20) {
  StoreLevel(w[att], Bit(b20, 4), -1);
  StoreLevel(w[lp], Bit(b20, 3), -1);
  StoreLevel(w[an], (b20 >> 1) & 3, -1);
  w[b20bit0] = Bit(b20, 0) ? 1 : -1;
}

void StoreVolume(int32_t *w, uint8_t b22) {
  int32_t level = b22 & 0x7F;
  if (w[volSel] == 0)
    StoreLevel(w[volume], level, 50);
  else if (w[volSel] == 1)
    StoreLevel(w[volumeAux], level, 50);
  else
    StoreLevel(w[volumeSide], level, 5);
}

// The first of offset5's digits carries the sign.
int32_t SignedOffset(const uint8_t *b) {
  int64_t first = TavoDigit(b[0]);
  if (first >= 8) first -= 16;
  return static_cast<int32_t>(first * 0x10000 + Digits(b + 1, 4));
}

bool Top2(uint8_t byte, uint8_t pattern) { return (byte & 0xC0) == pattern; }
bool Top3(uint8_t byte, uint8_t pattern) { return (byte & 0xE0) == pattern; }
bool HighNibble3(uint8_t byte) { return (byte & 0xF0) == 0x30; }

void DecodeBlock(int32_t *w, int len, const uint8_t *b) {
  StoreHeader(w, b[0]);
  StoreFrequency(w, b);
  if (len > 9 && (b[9] & 0x80)) StoreMode(w, b[9]);
  if (len > 10 && Top2(b[10], 0x40)) StoreSigns(w, b[10]);
  if (len > 11 && Top2(b[11], 0x40)) StoreSquelch(w, b[11]);
  if (len > 13 && (b[12] & 0x80) && Top2(b[13], 0x40)) StoreBytes12And13(w, b[12], b[13]);
  if (len > 14 && HighNibble3(b[14])) StoreLevel(w[nr], b[14] & 0x0F, -1);
  if (len > 15 && HighNibble3(b[15])) StoreLevel(w[nb], b[15] & 0x0F, -1);
  if (len > 19 && Top3(b[16], 0x60) && Top3(b[17], 0x60) && Top3(b[19], 0x60) && HighNibble3(b[18]))
    StorePanel(w, b);
  if (len > 20 && Top2(b[20], 0x40)) StoreAttenuators(w, b[20]);
  if (len > 21) w[level21] = b[21] - 211;
  if (len > 22) StoreVolume(w, b[22]);
  if (len > 25) w[offset3] = static_cast<int32_t>(Digits(b + 23, 3));
  if (len > 30) w[offset5] = SignedOffset(b + 26);
}
}  // namespace

uint32_t TavoDigit(uint8_t byte) { return uint8_t(byte | 0x30) - 0x30u; }

void storeParameters(Works *works, int len, const uint8_t *block) {
  TransceiverState &trx = works->trx;
  if (!trx.serMut || !trx.TavoParams) {
    LogSys(LOG_PRIO_ERR, "serMut mutex cannot be locked");
    return;
  }
  // The fields beyond a short block read as zero, as from the link's cleared buffer.
  uint8_t bytes[TAVO_BLOCK_BYTES] = {};
  if (len > 0 && block) memcpy(bytes, block, len < TAVO_BLOCK_BYTES ? len : TAVO_BLOCK_BYTES);
  std::lock_guard<std::mutex> lock(*trx.serMut);
  if (!trx.tavoParamsZeroed) {
    memset(trx.TavoParams, 0, sizeof *trx.TavoParams);
    trx.tavoParamsZeroed = true;
  }
  DecodeBlock(trx.TavoParams->word, len, bytes);
}

void getParameters(TavoParamsRecord *dst, Works *works) {
  TransceiverState &trx = works->trx;
  if (!trx.serMut || !trx.TavoParams) {
    LogSys(LOG_PRIO_ERR, "serMut mutex cannot be locked");
    return;
  }
  std::lock_guard<std::mutex> lock(*trx.serMut);
  *dst = *trx.TavoParams;
}

#include "tuner/tune_word.h"

#include "core/log.h"
#include "core/works.h"

namespace {
// Word bit of each value bit, from value bit 0 up; the group's extra bit is
// cleared with it and never set.
struct BitGroup {
  int bits[9];
  int extra;
};
constexpr BitGroup C_BITS{{15, 2, 4, 6, 14, 12, 10, 8, 20}, 22};
constexpr BitGroup L_BITS{{1, 3, 5, 7, 13, 11, 9, 19, 21}, 17};
constexpr uint32_t MODE_BITS = TUNE_BIT_B | TUNE_BIT_A | TUNE_BIT_BYPASS;

uint32_t GroupMask(const BitGroup &g) {
  uint32_t mask = 1u << g.extra;
  for (int b : g.bits) mask |= 1u << b;
  return mask;
}

uint32_t Pack(uint32_t word, const BitGroup &g, int value) {
  word &= ~GroupMask(g);
  for (int i = 0; i < 9; i++)
    if (value & (1 << i)) word |= 1u << g.bits[i];
  return word;
}

int Unpack(uint32_t word, const BitGroup &g) {
  int value = 0;
  for (int i = 0; i < 9; i++)
    if (word & (1u << g.bits[i])) value |= 1 << i;
  return value;
}
}  // namespace

void SetC(Works *works, int c) {
  works->tuner.tuneVal = Pack(works->tuner.tuneVal, C_BITS, c & TUNE_LC_MAX);
}

void SetI(Works *works, int l) {
  works->tuner.tuneVal = Pack(works->tuner.tuneVal, L_BITS, l & TUNE_LC_MAX);
}

void SetMode(Works *works, int mode) {
  TunerState &t = works->tuner;
  t.modoTune = static_cast<uint8_t>(mode);
  if (mode >= 4 || mode < 0) return;
  uint32_t word = t.tuneVal & ~MODE_BITS;
  if (mode == TUNE_MODE_B) {
    word |= TUNE_BIT_B;
  } else if (mode == TUNE_MODE_A) {
    word |= TUNE_BIT_A;
  } else {
    word |= TUNE_BIT_BYPASS;
  }
  t.tuneVal = word;
  works->link.atuBypass = (mode == TUNE_MODE_B || mode == TUNE_MODE_A) ? 0 : 1;
}

int DecodeCapacitaFromTuneval(uint32_t word) { return Unpack(word, C_BITS); }

int DecodeInduttanzaFromTuneval(uint32_t word) { return Unpack(word, L_BITS); }

int DecodeModoFromTuneval(uint32_t word) {
  switch (word & MODE_BITS) {
    case 0:
      return TUNE_MODE_NONE;
    case TUNE_BIT_B:
      return TUNE_MODE_B;
    case TUNE_BIT_A:
      return TUNE_MODE_A;
    case TUNE_BIT_BYPASS:
      return TUNE_MODE_BYPASS;
    default:
      LogErr("DecodeModoFromTuneval -> tune: 0x%x \n", word & MODE_BITS);
      return TUNE_MODE_NONE;
  }
}

void ReadTnePar(Works *works) {
  TunerState &t = works->tuner;
  uint32_t word = t.tuneVal;
  t.valC = DecodeCapacitaFromTuneval(word);
  t.valL = DecodeInduttanzaFromTuneval(word);
  int mode = DecodeModoFromTuneval(word);
  t.modoTune = static_cast<uint8_t>(mode);
  if (mode == TUNE_MODE_NONE) SetMode(works, TUNE_MODE_BYPASS);
}

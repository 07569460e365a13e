#pragma once
// One reply as the decoder reads it: characters by position, never past its
// end (a position beyond it reads as '\0').
#include <cstdint>

#include "amplifier/framing.h"

struct ReplyText {
  const char *text;
  int length;

  char At(int pos) const { return pos >= 0 && pos < length ? text[pos] : '\0'; }
  bool Is(const char *letters) const { return At(0) == letters[0] && At(1) == letters[1]; }

  // The leading decimal digits of the field at `pos` of `width` characters.
  uint64_t Decimal(int pos, int width) const {
    uint64_t value = 0;
    for (int i = pos; i < pos + width && At(i) >= '0' && At(i) <= '9'; i++)
      value = value * 10 + uint64_t(At(i) - '0');
    return value;
  }
  // One hexadecimal digit; anything else reads as 0.
  uint8_t Hex(int pos) const {
    int v = charToInt(At(pos));
    return v < 0 ? 0 : uint8_t(v);
  }
  // Two hexadecimal digits, high nibble first.
  uint8_t HexPair(int pos) const { return uint8_t(Hex(pos) << 4 | Hex(pos + 1)); }
};

struct Works;
// The "ST" reply: status bytes, measurements, errors, fan and temperatures;
// then the next state.
void DecodeStatusReply(Works *works, const ReplyText &reply);

#pragma once
// Huffman tables of the decoder: a 9-bit lookahead table for the short codes
// (and, for AC tables, short codes together with their magnitude bits), the
// canonical limits for the long ones.
#include <cstdint>

#include "codec/jpeg/bit_reader.h"

namespace jpegdec {

struct HuffmanTable {
  static constexpr int kFastBits = 9;

  // Builds from a DHT description; false when the counts describe no valid
  // prefix code.
  bool build(const uint8_t counts[16], const uint8_t *symbols, int numSymbols);

  // Next symbol, or -1 for a bit pattern that is no code. The reader must
  // hold at least 16 bits.
  int decode(BitReader &in) const {
    uint32_t entry = fast[in.peek(kFastBits)];
    if (entry) {
      in.consume(int(entry >> 8));
      return int(entry & 0xFF);
    }
    return decodeLong(in);
  }

  // Zero-filled memory is an undefined table.
  bool defined;
  // (length << 8) | symbol for codes of up to kFastBits bits, 0 otherwise.
  uint16_t fast[1 << kFastBits];
  // For AC symbols whose code and magnitude bits fit kFastBits together:
  // value * 65536 + run * 256 + total length; 0 otherwise.
  int32_t fastAc[1 << kFastBits];

 private:
  int decodeLong(BitReader &in) const;

  uint32_t limit_[18];  // per length, first left-justified 16-bit code beyond it
  int32_t offset_[17];  // symbol index minus code value, per length
  uint8_t symbols_[256];
};

// Value of `bits` read as a magnitude of category `size`.
inline int extendValue(uint32_t bits, int size) {
  int v = int(bits);
  return v < (1 << (size - 1)) ? v - (1 << size) + 1 : v;
}

}  // namespace jpegdec

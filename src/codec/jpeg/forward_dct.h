#pragma once
// Integer forward DCT of an 8x8 block and the quantiser that follows it.
#include <cstdint>

namespace jpegenc {

// In place; input level-shifted samples (-128..127), output coefficients in
// natural order scaled up by 8.
void forwardDct(int32_t block[64]);

class Quantiser {
 public:
  // table: quantisation steps 1..255 in natural order.
  void setTable(const uint8_t table[64]);
  // Rounded quotients of the scaled coefficients, written in zig-zag order.
  void quantise(const int32_t coefficients[64], int16_t zigzag[64]) const;

 private:
  uint32_t reciprocal_[64];
  uint32_t half_[64];
};

}  // namespace jpegenc

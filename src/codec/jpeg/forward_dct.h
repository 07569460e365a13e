#pragma once
// Integer forward DCT and quantiser of the encoder. Both work on eight
// blocks at once, each block one vector lane, so that the separable
// transform runs on full lanes in both directions without transposing.
#include <cstdint>

namespace jpegenc {

constexpr int kLanes = 8;

// Eight horizontally adjacent 8x8 blocks of samples (rows `stride` apart) to
// coefficients scaled up by 8 (magnitudes below 2^14): coefficients[n][b] is coefficient n (natural
// order) of block b.
void forwardDct8(const uint8_t *samples, int stride, int16_t coefficients[64][kLanes]);

// Quantised coefficients of eight blocks in zig-zag order: zigzag[k][b] is
// coefficient k of block b.
struct QuantisedGroup {
  int16_t zigzag[64][kLanes];
  uint64_t nonZeroAc[kLanes];  // bit k set when AC coefficient k (1..63) is non-zero
};

class Quantiser {
 public:
  // table: quantisation steps 1..255 in natural order.
  void setTable(const uint8_t table[64]);
  // Rounded quotients of forwardDct8's coefficients.
  void quantise(const int16_t coefficients[64][kLanes], QuantisedGroup &out) const;

 private:
  // Repeated in every lane: the products stay vector by vector.
  uint16_t reciprocal_[64][kLanes];
  uint16_t half_[64][kLanes];
};

}  // namespace jpegenc

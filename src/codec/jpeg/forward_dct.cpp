#include "codec/jpeg/forward_dct.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "codec/jpeg/jpeg_common.h"

namespace jpegenc {

namespace {

using namespace jpegcommon;

inline int32_t product(int16_t a, int16_t b) { return int32_t(a) * int32_t(b); }
inline int16_t sum(int a, int b) { return int16_t(a + b); }

// One 1-D transform of d[0], d[step], ... d[7 step] into out likewise. The
// first pass keeps kPass1Bits of extra precision, the second removes them.
// For 8-bit samples every sum fits 16 bits (the first pass's outputs lie in
// -4096..4064), so only the products need 32: the vector lanes stay narrow.
template <bool firstPass, int step, typename Out>
inline void dct8(const int16_t *d, Out *out) {
  constexpr int oddShift = firstPass ? kConstBits - kPass1Bits : kConstBits + kPass1Bits;
  int16_t tmp0 = sum(d[0], d[7 * step]), tmp7 = sum(d[0], -d[7 * step]);
  int16_t tmp1 = sum(d[step], d[6 * step]), tmp6 = sum(d[step], -d[6 * step]);
  int16_t tmp2 = sum(d[2 * step], d[5 * step]), tmp5 = sum(d[2 * step], -d[5 * step]);
  int16_t tmp3 = sum(d[3 * step], d[4 * step]), tmp4 = sum(d[3 * step], -d[4 * step]);

  int16_t tmp10 = sum(tmp0, tmp3), tmp13 = sum(tmp0, -tmp3);
  int16_t tmp11 = sum(tmp1, tmp2), tmp12 = sum(tmp1, -tmp2);
  if (firstPass) {
    out[0] = Out((tmp10 + tmp11) * (1 << kPass1Bits));
    out[4 * step] = Out((tmp10 - tmp11) * (1 << kPass1Bits));
  } else {
    out[0] = Out(descale(tmp10 + tmp11, kPass1Bits));
    out[4 * step] = Out(descale(tmp10 - tmp11, kPass1Bits));
  }
  int32_t z1 = product(sum(tmp12, tmp13), FIX_0_541196100);
  out[2 * step] = Out(descale(z1 + product(tmp13, FIX_0_765366865), oddShift));
  out[6 * step] = Out(descale(z1 - product(tmp12, FIX_1_847759065), oddShift));

  int32_t z5 = product(sum(sum(tmp4, tmp6), sum(tmp5, tmp7)), FIX_1_175875602);
  int32_t p4 = product(tmp4, FIX_0_298631336), p5 = product(tmp5, FIX_2_053119869);
  int32_t p6 = product(tmp6, FIX_3_072711026), p7 = product(tmp7, FIX_1_501321110);
  int32_t q1 = product(sum(tmp4, tmp7), -FIX_0_899976223);
  int32_t q2 = product(sum(tmp5, tmp6), -FIX_2_562915447);
  int32_t q3 = product(sum(tmp4, tmp6), -FIX_1_961570560) + z5;
  int32_t q4 = product(sum(tmp5, tmp7), -FIX_0_390180644) + z5;
  out[7 * step] = Out(descale(p4 + q1 + q3, oddShift));
  out[5 * step] = Out(descale(p5 + q2 + q4, oddShift));
  out[3 * step] = Out(descale(p6 + q2 + q3, oddShift));
  out[step] = Out(descale(p7 + q1 + q4, oddShift));
}

// Zig-zag position of each natural-order coefficient.
constexpr auto ZIGZAG_POSITION = [] {
  std::array<uint8_t, 64> position{};
  for (int k = 0; k < 64; k++) position[jpegcommon::ZIGZAG[k]] = uint8_t(k);
  return position;
}();

// Quotients are computed as (a + d/2) * ceil(2^18 / d) >> 18: exact enough for
// the magnitudes a forward DCT of 8-bit samples produces (below 2^14).
constexpr int kReciprocalBits = 18;

}  // namespace

void forwardDct8(const uint8_t *samples, int stride, int16_t coefficients[64][kLanes]) {
  // s[n][b]: sample n of block b, level-shifted.
  int16_t s[64][kLanes];
  for (int r = 0; r < 8; r++)
    for (int b = 0; b < kLanes; b++)
      for (int c = 0; c < 8; c++) s[r * 8 + c][b] = int16_t(samples[r * stride + b * 8 + c] - 128);
  // Rows, then columns; in each the eight blocks are the lanes.
  int16_t ws[64][kLanes];
  for (int r = 0; r < 8; r++)
    for (int b = 0; b < kLanes; b++) dct8<true, kLanes>(&s[r * 8][b], &ws[r * 8][b]);
  for (int c = 0; c < 8; c++)
    for (int b = 0; b < kLanes; b++) dct8<false, 8 * kLanes>(&ws[c][b], &coefficients[c][b]);
}

void Quantiser::setTable(const uint8_t table[64]) {
  for (int i = 0; i < 64; i++) {
    int divisor = table[i] * 8;
    for (int b = 0; b < kLanes; b++) {
      reciprocal_[i][b] = uint16_t(((1 << kReciprocalBits) + divisor - 1) / divisor);
      half_[i][b] = uint16_t(divisor / 2);
    }
  }
}

void Quantiser::quantise(const int16_t coefficients[64][kLanes], QuantisedGroup &out) const {
  int16_t natural[64][kLanes];
  for (int i = 0; i < 64; i++) {
    for (int b = 0; b < kLanes; b++) {
      int16_t x = coefficients[i][b];
      int16_t sign = int16_t(x >> 15);
      uint16_t rounded = uint16_t(((x ^ sign) - sign) + half_[i][b]);  // below 2^14
      // (rounded * reciprocal) >> 18 is the high half shifted by two.
      uint16_t high = uint16_t((uint32_t(rounded) * reciprocal_[i][b]) >> 16);
      // At most 1023: inside the categories the Huffman tables code.
      int16_t quotient = std::min(int16_t(high >> 2), int16_t(1023));
      natural[i][b] = int16_t((quotient ^ sign) - sign);
    }
  }
  // Whole rows of eight lanes move into zig-zag order.
  for (int i = 0; i < 64; i++)
    std::memcpy(out.zigzag[ZIGZAG_POSITION[i]], natural[i], sizeof natural[i]);
  // Which AC coefficients are non-zero, in two halves of 32 lanes-wide bits.
  uint32_t low[kLanes] = {}, high[kLanes] = {};
  for (int k = 1; k < 32; k++)
    for (int b = 0; b < kLanes; b++) low[b] |= uint32_t(out.zigzag[k][b] != 0) << k;
  for (int k = 32; k < 64; k++)
    for (int b = 0; b < kLanes; b++) high[b] |= uint32_t(out.zigzag[k][b] != 0) << (k - 32);
  for (int b = 0; b < kLanes; b++) out.nonZeroAc[b] = uint64_t(high[b]) << 32 | low[b];
}

}  // namespace jpegenc

#include "codec/jpeg/forward_dct.h"

#include <algorithm>

#include "codec/jpeg/jpeg_common.h"

namespace jpegenc {

namespace {

// 13-bit fixed-point constants of the separable transform.
constexpr int kConstBits = 13;
constexpr int kPass1Bits = 2;
constexpr int32_t FIX_0_298631336 = 2446;
constexpr int32_t FIX_0_390180644 = 3196;
constexpr int32_t FIX_0_541196100 = 4433;
constexpr int32_t FIX_0_765366865 = 6270;
constexpr int32_t FIX_0_899976223 = 7373;
constexpr int32_t FIX_1_175875602 = 9633;
constexpr int32_t FIX_1_501321110 = 12299;
constexpr int32_t FIX_1_847759065 = 15137;
constexpr int32_t FIX_1_961570560 = 16069;
constexpr int32_t FIX_2_053119869 = 16819;
constexpr int32_t FIX_2_562915447 = 20995;
constexpr int32_t FIX_3_072711026 = 25172;

constexpr int32_t descale(int32_t x, int n) { return (x + (1 << (n - 1))) >> n; }

// One 1-D pass over the eight lanes `lane` (0..7) of data laid out with the
// transform direction at stride `step` and the lanes at stride `laneStep`.
// The first pass keeps kPass1Bits of extra precision, the second removes them.
template <int step, int laneStep, bool firstPass>
void dctPass(int32_t *data) {
  constexpr int evenShift = firstPass ? 0 : kPass1Bits;
  constexpr int oddShift = firstPass ? kConstBits - kPass1Bits : kConstBits + kPass1Bits;
  for (int lane = 0; lane < 8; lane++) {
    int32_t *d = data + lane * laneStep;
    int32_t tmp0 = d[0 * step] + d[7 * step], tmp7 = d[0 * step] - d[7 * step];
    int32_t tmp1 = d[1 * step] + d[6 * step], tmp6 = d[1 * step] - d[6 * step];
    int32_t tmp2 = d[2 * step] + d[5 * step], tmp5 = d[2 * step] - d[5 * step];
    int32_t tmp3 = d[3 * step] + d[4 * step], tmp4 = d[3 * step] - d[4 * step];

    int32_t tmp10 = tmp0 + tmp3, tmp13 = tmp0 - tmp3;
    int32_t tmp11 = tmp1 + tmp2, tmp12 = tmp1 - tmp2;
    if (firstPass) {
      d[0 * step] = (tmp10 + tmp11) * (1 << kPass1Bits);
      d[4 * step] = (tmp10 - tmp11) * (1 << kPass1Bits);
    } else {
      d[0 * step] = descale(tmp10 + tmp11, evenShift);
      d[4 * step] = descale(tmp10 - tmp11, evenShift);
    }
    int32_t z1 = (tmp12 + tmp13) * FIX_0_541196100;
    d[2 * step] = descale(z1 + tmp13 * FIX_0_765366865, oddShift);
    d[6 * step] = descale(z1 - tmp12 * FIX_1_847759065, oddShift);

    z1 = tmp4 + tmp7;
    int32_t z2 = tmp5 + tmp6, z3 = tmp4 + tmp6, z4 = tmp5 + tmp7;
    int32_t z5 = (z3 + z4) * FIX_1_175875602;
    tmp4 *= FIX_0_298631336;
    tmp5 *= FIX_2_053119869;
    tmp6 *= FIX_3_072711026;
    tmp7 *= FIX_1_501321110;
    z1 *= -FIX_0_899976223;
    z2 *= -FIX_2_562915447;
    z3 = z3 * -FIX_1_961570560 + z5;
    z4 = z4 * -FIX_0_390180644 + z5;
    d[7 * step] = descale(tmp4 + z1 + z3, oddShift);
    d[5 * step] = descale(tmp5 + z2 + z4, oddShift);
    d[3 * step] = descale(tmp6 + z2 + z3, oddShift);
    d[1 * step] = descale(tmp7 + z1 + z4, oddShift);
  }
}

// Quotients are computed as (a + d/2) * ceil(2^18 / d) >> 18: exact enough for
// the magnitudes a forward DCT of 8-bit samples produces (below 2^14).
constexpr int kReciprocalBits = 18;

}  // namespace

void forwardDct(int32_t block[64]) {
  dctPass<1, 8, true>(block);   // rows
  dctPass<8, 1, false>(block);  // columns
}

void Quantiser::setTable(const uint8_t table[64]) {
  for (int i = 0; i < 64; i++) {
    uint32_t divisor = uint32_t(table[i]) * 8;
    reciprocal_[i] = ((1u << kReciprocalBits) + divisor - 1) / divisor;
    half_[i] = divisor / 2;
  }
}

void Quantiser::quantise(const int32_t coefficients[64], int16_t zigzag[64]) const {
  int16_t natural[64];
  for (int i = 0; i < 64; i++) {
    int32_t x = coefficients[i];
    int32_t sign = x >> 31;
    uint32_t magnitude = uint32_t((x ^ sign) - sign);
    uint32_t q = ((magnitude + half_[i]) * reciprocal_[i]) >> kReciprocalBits;
    // Keeps every magnitude inside the categories the Huffman tables code.
    q = std::min(q, 1023u);
    natural[i] = int16_t((int32_t(q) ^ sign) - sign);
  }
  for (int k = 0; k < 64; k++) zigzag[k] = natural[jpegcommon::ZIGZAG[k]];
}

}  // namespace jpegenc

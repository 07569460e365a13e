#include "codec/jpeg/inverse_dct.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "codec/jpeg/jpeg_common.h"

namespace jpegdec {

namespace {

using namespace jpegcommon;

constexpr int kPass1Shift = kConstBits - kPass1Bits;
constexpr int kPass2Shift = kConstBits + kPass1Bits + 3;

// Intermediate values are kept to 16 bits so that no input, however corrupt,
// can overflow the second pass; real images never come near the limit.
inline int32_t saturate16(int32_t x) { return std::clamp(x, -32768, 32767); }
inline uint8_t toSample(int32_t x) { return uint8_t(std::clamp(x + 128, 0, 255)); }

// One 1-D 8-point transform; outputs not yet descaled. Linear, so zero
// inputs contribute nothing and any shortcut that drops them is exact.
inline void idct8(int32_t d0, int32_t d1, int32_t d2, int32_t d3, int32_t d4, int32_t d5,
                  int32_t d6, int32_t d7, int32_t out[8]) {
  int32_t z1 = (d2 + d6) * FIX_0_541196100;
  int32_t tmp2 = z1 - d6 * FIX_1_847759065;
  int32_t tmp3 = z1 + d2 * FIX_0_765366865;
  int32_t tmp0 = (d0 + d4) * (1 << kConstBits);
  int32_t tmp1 = (d0 - d4) * (1 << kConstBits);
  int32_t tmp10 = tmp0 + tmp3, tmp13 = tmp0 - tmp3;
  int32_t tmp11 = tmp1 + tmp2, tmp12 = tmp1 - tmp2;

  z1 = d7 + d1;
  int32_t z2 = d5 + d3, z3 = d7 + d3, z4 = d5 + d1;
  int32_t z5 = (z3 + z4) * FIX_1_175875602;
  int32_t t0 = d7 * FIX_0_298631336, t1 = d5 * FIX_2_053119869;
  int32_t t2 = d3 * FIX_3_072711026, t3 = d1 * FIX_1_501321110;
  z1 *= -FIX_0_899976223;
  z2 *= -FIX_2_562915447;
  z3 = z3 * -FIX_1_961570560 + z5;
  z4 = z4 * -FIX_0_390180644 + z5;
  t0 += z1 + z3;
  t1 += z2 + z4;
  t2 += z2 + z3;
  t3 += z1 + z4;

  out[0] = tmp10 + t3;
  out[7] = tmp10 - t3;
  out[1] = tmp11 + t2;
  out[6] = tmp11 - t2;
  out[2] = tmp12 + t1;
  out[5] = tmp12 - t1;
  out[3] = tmp13 + t0;
  out[4] = tmp13 - t0;
}

// k(u) * cos((2x + 1) u pi / 32) in 13-bit fixed point, k(0) = 1, k(u) = sqrt 2:
// the 8-point basis evaluated at twice the resolution, x 0..7 (the other half
// mirrors it with the sign (-1)^u).
constexpr int16_t BASIS16[8][8] = {
    {8192, 8192, 8192, 8192, 8192, 8192, 8192, 8192},
    {11529, 11086, 10217, 8956, 7350, 5461, 3363, 1136},
    {11363, 9633, 6436, 2260, -2260, -6436, -9633, -11363},
    {11086, 7350, 1136, -5461, -10217, -11529, -8956, -3363},
    {10703, 4433, -4433, -10703, -10703, -4433, 4433, 10703},
    {10217, 1136, -8956, -11086, -3363, 7350, 11529, 5461},
    {9633, -2260, -11363, -6436, 6436, 11363, 2260, -9633},
    {8956, -5461, -11086, 1136, 11529, 3363, -10217, -7350},
};
// Bound on inputs and intermediates of the 16-point passes: with it no sum of
// eight products exceeds 31 bits.
constexpr int32_t kLimit16 = 16384;

// Coefficients outside the first n rows and columns are zero (n 4 or 8).
template <int n>
void transform8(const int16_t in[64], uint8_t *out, int stride) {
  int32_t ws[64];
  // Columns; the columns are independent lanes.
  for (int c = 0; c < n; c++) {
    auto at = [&](int r) { return r < n ? int32_t(in[r * 8 + c]) : 0; };
    int32_t v[8];
    idct8(at(0), at(1), at(2), at(3), at(4), at(5), at(6), at(7), v);
    for (int r = 0; r < 8; r++) ws[r * 8 + c] = saturate16(descale(v[r], kPass1Shift));
  }
  // Rows.
  for (int r = 0; r < 8; r++, out += stride) {
    const int32_t *w = ws + r * 8;
    auto at = [&](int c) { return c < n ? w[c] : 0; };
    if ((at(1) | at(2) | at(3) | at(4) | at(5) | at(6) | at(7)) == 0) {
      std::memset(out, toSample(descale(w[0], kPass1Bits + 3)), 8);
      continue;
    }
    int32_t v[8];
    idct8(at(0), at(1), at(2), at(3), at(4), at(5), at(6), at(7), v);
    for (int i = 0; i < 8; i++) out[i] = toSample(descale(v[i], kPass2Shift));
  }
}

// The basis at all 16 positions.
constexpr auto FULL_BASIS16 = [] {
  std::array<std::array<int16_t, 16>, 8> b{};
  for (int k = 0; k < 8; k++)
    for (int x = 0; x < 8; x++) {
      b[k][x] = BASIS16[k][x];
      b[k][15 - x] = int16_t(k % 2 ? -BASIS16[k][x] : BASIS16[k][x]);
    }
  return b;
}();

// Each basis value repeated across 16 lanes: the passes below multiply
// vectors by vectors, which keeps the products 16 x 16 -> 32 bits in vector
// lanes even where the instruction set has no 32-bit multiply.
struct LaneBasis {
  int16_t at[8][8][16];
};
constexpr LaneBasis makeLaneBasis() {
  LaneBasis b{};
  for (int k = 0; k < 8; k++)
    for (int j = 0; j < 8; j++)
      for (int lane = 0; lane < 16; lane++) b.at[k][j][lane] = BASIS16[k][j];
  return b;
}
constexpr LaneBasis LANE_BASIS = makeLaneBasis();

inline int32_t product(int16_t a, int16_t b) { return int32_t(a) * int32_t(b); }

// Rows first, then columns; only the first n rows and columns of
// coefficients can be non-zero. Each pass sums the even and odd frequencies
// apart so that position 15 - j reuses the products of position j.
template <int n>
void transform16(const int16_t in[64], uint8_t *out, int stride) {
  // Rows: a row's coefficients repeated across the 16 sample lanes times the
  // basis at each sample position.
  int16_t rows[8][16];
  for (int v = 0; v < n; v++) {
    int16_t f[8][16];
    for (int u = 0; u < n; u++) {
      int16_t c = int16_t(std::clamp(int32_t(in[v * 8 + u]), -kLimit16, kLimit16));
      for (int x = 0; x < 16; x++) f[u][x] = c;
    }
    for (int x = 0; x < 16; x++) {
      int32_t sum = 0;
      for (int u = 0; u < n; u++) sum += product(f[u][x], FULL_BASIS16[u][x]);
      rows[v][x] = int16_t(std::clamp(descale(sum, kPass1Shift), -kLimit16, kLimit16));
    }
  }
  // Columns: the 16 sample columns are independent lanes; even and odd
  // frequencies are summed apart so that row 15 - j reuses the products of
  // row j.
  const auto &b = LANE_BASIS.at;
  for (int j = 0; j < 8; j++) {
    uint8_t *top = out + size_t(j) * stride, *bottom = out + size_t(15 - j) * stride;
    for (int x = 0; x < 16; x++) {
      int32_t even = 0, odd = 0;
      for (int v = 0; v < n; v += 2) even += product(rows[v][x], b[v][j][x]);
      for (int v = 1; v < n; v += 2) odd += product(rows[v][x], b[v][j][x]);
      top[x] = toSample(descale(even + odd, kPass2Shift));
      bottom[x] = toSample(descale(even - odd, kPass2Shift));
    }
  }
}

uint8_t dcOnlyValue(int dc) {
  return toSample(descale(saturate16(dc * (1 << kPass1Bits)), kPass1Bits + 3));
}

void fill(uint8_t *out, int stride, int size, uint8_t value) {
  for (int r = 0; r < size; r++) std::memset(out + size_t(r) * stride, value, size_t(size));
}

// Zig-zag positions 0..9 all lie in the first four rows and columns.
constexpr int kLastInFirstFour = 9;

}  // namespace

void inverseDct(const int16_t coefficients[64], int last, uint8_t *out, int stride) {
  if (last == 0)
    fill(out, stride, 8, dcOnlyValue(coefficients[0]));
  else if (last <= kLastInFirstFour)
    transform8<4>(coefficients, out, stride);
  else
    transform8<8>(coefficients, out, stride);
}

void inverseDct16(const int16_t coefficients[64], int last, uint8_t *out, int stride) {
  if (last == 0)
    fill(out, stride, 16, dcOnlyValue(coefficients[0]));  // flat at any resolution
  else if (last <= kLastInFirstFour)
    transform16<4>(coefficients, out, stride);
  else
    transform16<8>(coefficients, out, stride);
}

}  // namespace jpegdec

#include "codec/jpeg/colour_convert.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace jpegdec {

namespace {

// R = Y + 1.402 Cr', G = Y - 0.34414 Cb' - 0.71414 Cr', B = Y + 1.772 Cb'
// (Cb' = Cb - 128, Cr' = Cr - 128) in 16-bit fixed point, rounded:
//   R = Y + ((91881 Cr' + 32768) >> 16)
//   G = Y + ((-22554 Cb' - 46802 Cr' + 32768) >> 16)
//   B = Y + ((116130 Cb' + 32768) >> 16)
// evaluated in 16-bit lanes with exactly the same results: the whole
// multiples of 65536 are taken out of the constants, and a product that is
// rounded alone is taken as the high half of a doubled operand.
inline int16_t highHalf(int16_t a, int16_t b) { return int16_t((int32_t(a) * b) >> 16); }
inline int16_t rounded(int16_t x, int16_t c) {
  return int16_t((highHalf(int16_t(x * 2), c) + 1) >> 1);  // (c x + 32768) >> 16
}
inline int16_t clampSample(int v) { return int16_t(std::clamp(v, 0, 255)); }

constexpr int kChunk = 256;

// One chunk of pixels into planar R, G, B.
void toRgbPlanes(const uint8_t *y, const uint8_t *cb, const uint8_t *cr, int n, int16_t *r,
                 int16_t *g, int16_t *b) {
  for (int x = 0; x < n; x++) {
    int16_t luma = y[x], blue = int16_t(cb[x] - 128), red = int16_t(cr[x] - 128);
    r[x] = clampSample(luma + red + rounded(red, 26345));         // 91881 = 65536 + 26345
    b[x] = clampSample(luma + 2 * blue + rounded(blue, -14942));  // 116130 = 131072 - 14942
    int32_t green = int32_t(blue) * int16_t(-22554) + int32_t(red) * int16_t(18734) + 32768;
    g[x] = clampSample(luma - red + int16_t(green >> 16));  // -46802 = -65536 + 18734
  }
}

// Byte pairs in memory order.
inline uint16_t pair(int first, int second) {
  if constexpr (std::endian::native == std::endian::little) return uint16_t(first | second << 8);
  return uint16_t(first << 8 | second);
}

}  // namespace

void yccToRgb(const uint8_t *y, const uint8_t *cb, const uint8_t *cr, uint8_t *out, int width,
              int components) {
  alignas(16) int16_t r[kChunk], g[kChunk], b[kChunk];
  for (int x0 = 0; x0 < width; x0 += kChunk) {
    int n = std::min(kChunk, width - x0);
    toRgbPlanes(y + x0, cb + x0, cr + x0, n, r, g, b);
    uint8_t *o = out + size_t(x0) * components;
    if (components == 4) {
      // Two byte pairs per pixel keep the stores in vector lanes.
      for (int x = 0; x < n; x++) {
        uint16_t rg = pair(r[x], g[x]), ba = pair(b[x], 255);
        std::memcpy(o + 4 * x, &rg, 2);
        std::memcpy(o + 4 * x + 2, &ba, 2);
      }
    } else {
      for (int x = 0; x < n; x++) {
        o[3 * x] = uint8_t(r[x]);
        o[3 * x + 1] = uint8_t(g[x]);
        o[3 * x + 2] = uint8_t(b[x]);
      }
    }
  }
}

void greyToOutput(const uint8_t *y, uint8_t *out, int width, int components) {
  if (components == 1) {
    std::memcpy(out, y, size_t(width));
  } else if (components == 4) {
    for (int x = 0; x < width; x++) {
      uint16_t gg = pair(y[x], y[x]), ga = pair(y[x], 255);
      std::memcpy(out + 4 * x, &gg, 2);
      std::memcpy(out + 4 * x + 2, &ga, 2);
    }
  } else {
    for (int x = 0; x < width; x++) out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = y[x];
  }
}

void doubleHorizontally(const uint8_t *in, uint8_t *out, int width) {
  for (int x = 0; x < width / 2; x++) {
    uint16_t twice = pair(in[x], in[x]);
    std::memcpy(out + 2 * x, &twice, 2);
  }
  if (width & 1) out[width - 1] = in[width / 2];
}

}  // namespace jpegdec

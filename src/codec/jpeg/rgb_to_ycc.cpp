#include "codec/jpeg/rgb_to_ycc.h"

#include <algorithm>
#include <cstring>

namespace jpegenc {

namespace {

// Y  = (19595 R + 38470 G + 7471 B + 32768) >> 16
// Cb = ((32768 B - 11059 R - 21709 G + 32768) >> 16) + 128
// Cr = ((32768 R - 27439 G - 5329 B + 32768) >> 16) + 128
// computed in 16-bit lanes with exactly these results. Each constant splits
// into a high and a low byte; the high bytes of each equation add up to 255
// and the low ones to 256, so both partial sums fit 16 bits, and
//   (256 high + low + 32768) >> 16 = (high + (low >> 8) + 128) >> 8.
// For the colour differences the negative terms are taken on 255 - x,
// which turns the +128 offset into one whole unit.
inline uint8_t luma(uint16_t r, uint16_t g, uint16_t b) {
  uint16_t high = uint16_t(76 * r + 150 * g + 29 * b);
  uint16_t low = uint16_t(139 * r + 70 * g + 47 * b);
  return uint8_t(uint16_t(high + (low >> 8) + 128) >> 8);
}
inline uint8_t difference(uint16_t plus, uint16_t minus1, uint16_t minus2, int high1, int low1,
                          int high2, int low2) {
  uint16_t inv1 = uint16_t(255 - minus1), inv2 = uint16_t(255 - minus2);
  uint16_t high = uint16_t(128 * plus + high1 * inv1 + high2 * inv2);
  uint16_t low = uint16_t(low1 * inv1 + low2 * inv2);
  return uint8_t(std::min((uint16_t(high + (low >> 8)) >> 8) + 1, 255));
}
// 11059 = 43 * 256 + 51, 21709 = 84 * 256 + 205
inline uint8_t blueDifference(uint16_t r, uint16_t g, uint16_t b) {
  return difference(b, r, g, 43, 51, 84, 205);
}
// 27439 = 107 * 256 + 47, 5329 = 20 * 256 + 209
inline uint8_t redDifference(uint16_t r, uint16_t g, uint16_t b) {
  return difference(r, g, b, 107, 47, 20, 209);
}

template <int channels>
void toYcc(const uint8_t *row, int width, uint8_t *y, uint8_t *cb, uint8_t *cr) {
  for (int x = 0; x < width; x++) {
    uint16_t r = row[x * channels], g = row[x * channels + 1], b = row[x * channels + 2];
    y[x] = luma(r, g, b);
    cb[x] = blueDifference(r, g, b);
    cr[x] = redDifference(r, g, b);
  }
}

template <int channels>
void toLuma(const uint8_t *row, int width, uint8_t *y) {
  for (int x = 0; x < width; x++)
    y[x] = luma(row[x * channels], row[x * channels + 1], row[x * channels + 2]);
}

}  // namespace

void rgbToYcc(const uint8_t *row, int width, int channels, uint8_t *y, uint8_t *cb, uint8_t *cr) {
  if (channels == 1) {
    // Grey: the luminance of R = G = B is the value itself.
    std::memcpy(y, row, size_t(width));
    std::memset(cb, 128, size_t(width));
    std::memset(cr, 128, size_t(width));
  } else if (channels == 3) {
    toYcc<3>(row, width, y, cb, cr);
  } else {
    toYcc<4>(row, width, y, cb, cr);
  }
}

void rgbToLuma(const uint8_t *row, int width, int channels, uint8_t *y) {
  if (channels == 1)
    std::memcpy(y, row, size_t(width));
  else if (channels == 3)
    toLuma<3>(row, width, y);
  else
    toLuma<4>(row, width, y);
}

}  // namespace jpegenc

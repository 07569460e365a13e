#pragma once
// Integer inverse DCT of the decoder: the separable 8x8 transform with 13-bit
// constants, its DC-only shortcut, and the 16x16 evaluation of an 8x8 block
// that upsamples chroma in the frequency domain.
#include <cstdint>

namespace jpegdec {

// Dequantised coefficients in natural order to 8x8 samples 0..255; last is
// the zig-zag index of the last coefficient that may be non-zero, so that
// sparse blocks take shorter paths with the same results.
void inverseDct(const int16_t coefficients[64], int last, uint8_t *out, int stride);
// The block's 8x8 coefficients evaluated on a 16x16 sample grid.
void inverseDct16(const int16_t coefficients[64], int last, uint8_t *out, int stride);

}  // namespace jpegdec

#pragma once
// Output rows of the decoder: YCbCr to RGB by the JFIF equations, grey
// replicated, and the horizontal chroma upsampling by repetition.
#include <cstdint>

namespace jpegdec {

// components 3 or 4 (the fourth byte is 255).
void yccToRgb(const uint8_t *y, const uint8_t *cb, const uint8_t *cr, uint8_t *out, int width,
              int components);
// components 1, 3 or 4.
void greyToOutput(const uint8_t *y, uint8_t *out, int width, int components);
// out[2x] = out[2x + 1] = in[x] for width output samples.
void doubleHorizontally(const uint8_t *in, uint8_t *out, int width);

}  // namespace jpegdec

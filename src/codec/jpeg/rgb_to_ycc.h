#pragma once
// The encoder's colour conversion of one row of pixels (1, 3 or 4 bytes
// each, the fourth ignored) into separate planes.
#include <cstdint>

namespace jpegenc {

void rgbToYcc(const uint8_t *row, int width, int channels, uint8_t *y, uint8_t *cb, uint8_t *cr);
void rgbToLuma(const uint8_t *row, int width, int channels, uint8_t *y);

}  // namespace jpegenc

// The JPEG decoder on arbitrary bytes: it must return null or a whole image,
// never read or write outside its buffers, and leak nothing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "codec/jpeg/jpeg_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static const int COMPONENTS[3] = {1, 3, 4};
  int requested = COMPONENTS[size % 3];
  int width = 0, height = 0, fileComponents = 0;
  uint8_t *pixels =
      jpegdec::decodeFromMemory(data, int(size), &width, &height, &fileComponents, requested);
  if (pixels) {
    // Touch the last byte: the buffer must be as large as it claims.
    volatile uint8_t last = pixels[size_t(width) * height * requested - 1];
    (void)last;
    std::free(pixels);
  }
  return 0;
}

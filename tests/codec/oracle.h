#pragma once
// The independent JPEG library as a test oracle, and picture comparisons.
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/test_images.h"

using Bytes = std::vector<uint8_t>;

// Options of the library's compressor: a TurboJPEG subsampling (TJSAMP_*),
// flags (TJFLAG_*), and the environment switches its compressor reads
// ("TJ_RESTART", "TJ_OPTIMIZE", "TJ_ARITHMETIC"), set only for the call.
struct OracleOptions {
  int subsampling = 0;
  int quality = 85;
  int flags = 0;
  std::vector<std::pair<std::string, std::string>> environment;
};

Bytes OracleEncode(const TestImage &image, const OracleOptions &options);
// CMYK input (4 bytes per pixel) to a four-component file.
Bytes OracleEncodeCmyk(int width, int height, const OracleOptions &options);
// Decoded pixels with `components` bytes each (1 grey, 3 RGB, 4 RGBA), or
// empty when the library refuses the file.
Bytes OracleDecode(const Bytes &jpeg, int components, int flags = 0);

// Our decoder, as a vector (empty on failure).
Bytes OurDecode(const Bytes &jpeg, int components, int *width = nullptr, int *height = nullptr,
                int *fileComponents = nullptr);
// Our encoder into a large enough buffer.
Bytes OurEncode(const TestImage &image, int quality, int subsampling, bool twoPass = false);

int MaxDifference(const Bytes &a, const Bytes &b);
double Psnr(const Bytes &a, const Bytes &b);
// The pixels of `image` as `components` bytes each (RGB, or luminance).
Bytes AsComponents(const TestImage &image, int components);

// Offsets of every marker (0xFF then a code other than 0 and 0xFF) in the file.
std::vector<std::pair<size_t, uint8_t>> Markers(const Bytes &jpeg);
// Offset of the first marker with that code, or npos.
size_t FindMarker(const Bytes &jpeg, uint8_t code);

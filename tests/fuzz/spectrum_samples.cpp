// Spectrum lines of any sample values a receiver may deliver (infinities and
// NaNs included): the line stays within its length and every level is a
// byte of −192 … 50 dB. The first byte chooses the line size.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "transceiver/spectrum_fft.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 1) return 0;
  std::vector<float> samples(FFT_SAMPLE_COUNT, 0.0f);
  memcpy(samples.data(), data + 1, std::min(size - 1, samples.size() * sizeof(float)));
  char enable1600 = data[0] & 1 ? '1' : '0';
  std::vector<uint8_t> line(FFT_LINE_MAX + 1, 0xEE);
  int points = SpectrumLine(samples.data(), enable1600, line.data());
  if (points != SpectrumLinePoints(enable1600) || line[FFT_LINE_MAX] != 0xEE) __builtin_trap();
  for (int i = 0; i < points; i++)
    if (line[size_t(i)] > 50 + 192) __builtin_trap();
  return 0;
}

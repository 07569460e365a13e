// The JPEG codec against the independent library on an 800 x 480 screen at
// 4 bytes per pixel: encode at quality 85 with 4:2:0, decode to 4 components.
// Prints our time as a ratio to the library's, measured in the same run
// (the fastest of the repetitions when --benchmark_repetitions is given).
#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "bench/ratio_reporter.h"
#include "codec/jpeg/jpeg_decoder.h"
#include "codec/jpeg/jpeg_encoder.h"
#include "tests/support/test_images.h"

namespace {

constexpr int kWidth = 800, kHeight = 480, kQuality = 85;

const TestImage &Screen() {
  static const TestImage image = ScreenImage(kWidth, kHeight, 4);
  return image;
}

// The library's own file of the screen, decoded by both sides.
const std::vector<uint8_t> &ScreenJpeg() {
  static const std::vector<uint8_t> jpeg = [] {
    tjhandle handle = tjInitCompress();
    unsigned char *out = nullptr;
    unsigned long size = 0;
    tjCompress2(handle, Screen().pixels.data(), kWidth, 0, kHeight, TJPF_RGBX, &out, &size,
                TJSAMP_420, kQuality, 0);
    std::vector<uint8_t> bytes(out, out + size);
    tjFree(out);
    tjDestroy(handle);
    return bytes;
  }();
  return jpeg;
}

void BM_EncodeOurs(benchmark::State &state) {
  std::vector<uint8_t> out(size_t(kWidth) * kHeight * 4);
  jpegenc::Params params;
  params.quality = kQuality;
  params.subsampling = 3;
  for (auto _ : state) {
    int size = int(out.size());
    bool ok = jpegenc::encodeToMemory(out.data(), size, kWidth, kHeight, 4, Screen().pixels.data(),
                                      params);
    benchmark::DoNotOptimize(ok);
    state.counters["bytes"] = size;
  }
}

void BM_EncodeOracle(benchmark::State &state) {
  tjhandle handle = tjInitCompress();
  unsigned long capacity = tjBufSize(kWidth, kHeight, TJSAMP_420);
  unsigned char *out = tjAlloc(int(capacity));
  for (auto _ : state) {
    unsigned long size = capacity;
    int rc = tjCompress2(handle, Screen().pixels.data(), kWidth, 0, kHeight, TJPF_RGBX, &out, &size,
                         TJSAMP_420, kQuality, TJFLAG_NOREALLOC);
    benchmark::DoNotOptimize(rc);
    state.counters["bytes"] = double(size);
  }
  tjFree(out);
  tjDestroy(handle);
}

void BM_DecodeOurs(benchmark::State &state) {
  const std::vector<uint8_t> &jpeg = ScreenJpeg();
  for (auto _ : state) {
    int w, h, components;
    uint8_t *pixels =
        jpegdec::decodeFromMemory(jpeg.data(), int(jpeg.size()), &w, &h, &components, 4);
    benchmark::DoNotOptimize(pixels);
    std::free(pixels);
  }
}

void BM_DecodeOracle(benchmark::State &state) {
  const std::vector<uint8_t> &jpeg = ScreenJpeg();
  tjhandle handle = tjInitDecompress();
  std::vector<uint8_t> pixels(size_t(kWidth) * kHeight * 4);
  for (auto _ : state) {
    int rc = tjDecompress2(handle, jpeg.data(), jpeg.size(), pixels.data(), kWidth, 0, kHeight,
                           TJPF_RGBA, 0);
    benchmark::DoNotOptimize(rc);
  }
  tjDestroy(handle);
}

BENCHMARK(BM_EncodeOracle)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EncodeOurs)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DecodeOracle)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DecodeOurs)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char **argv) {
  RatioReporter reporter("independent library", {{"encode", "BM_EncodeOurs", "BM_EncodeOracle"},
                                                 {"decode", "BM_DecodeOurs", "BM_DecodeOracle"}});
  return RunWithRatios(argc, argv, reporter);
}

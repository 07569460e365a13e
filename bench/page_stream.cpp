// The page's screen frames: one changed screen encoded as kestra-sim's page
// sends it, for a meter window and a spectrum window (docs/window1.png,
// window4.png). The frame rate and the server's share of the processor while
// a browser watches are measured by bench/page_stream.py.
#include <benchmark/benchmark.h>
#include <png.h>

#include <string>
#include <vector>

#include "codec/jpeg/jpeg_encoder.h"
#include "sim/web/screen_stream.h"

namespace {
// The picture as the frame buffer holds it: blue, green, red, unused.
std::vector<uint8_t> LoadScreen(const std::string &name, int &width, int &height) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  std::string file = std::string(KESTRA_DOCS_DIR) + "/" + name;
  std::vector<uint8_t> pixels;
  if (!png_image_begin_read_from_file(&image, file.c_str())) return pixels;
  image.format = PNG_FORMAT_BGRA;
  pixels.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) pixels.clear();
  width = int(image.width);
  height = int(image.height);
  return pixels;
}

void EncodeFrame(benchmark::State &state, const char *name) {
  int width = 0, height = 0;
  std::vector<uint8_t> screen = LoadScreen(name, width, height);
  if (screen.empty()) {
    state.SkipWithError("cannot read the picture");
    return;
  }
  std::vector<uint8_t> jpeg;
  for (auto _ : state) {
    EncodeScreenJpeg(screen.data(), width, height, jpeg);
    benchmark::DoNotOptimize(jpeg.data());
  }
  state.counters["kB"] = double(jpeg.size()) / 1024;
  state.counters["frames/s"] =
      benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
}  // namespace

BENCHMARK_CAPTURE(EncodeFrame, meters, "window1.png")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(EncodeFrame, spectrum, "window4.png")->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();

// One spectrum line of the receiver's IQ stream (window, FFT, levels in dB,
// centre cut) against a baseline of the independent FFT library: its
// measured plan for the transform alone plus a plain loop of levels in dB
// over every bin. At 2048 and 4096 points; prints our time as a ratio to the
// baseline's, measured in the same run (the fastest of the repetitions when
// --benchmark_repetitions is given). The library is linked by this
// benchmark only.
#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "bench/ratio_reporter.h"
#include "transceiver/spectrum_fft.h"

namespace {
// A band of noise with a few stations in it, as the scaled samples of a
// transfer.
std::vector<float> Scene() {
  std::vector<float> s(FFT_SAMPLE_COUNT);
  std::mt19937 random(5);
  std::normal_distribution<float> noise(0.0f, 1e-5f);
  for (int j = 0; j < FFT_SAMPLE_COUNT / 2; j++) {
    double i = 0, q = 0;
    for (double bin : {0.0, 173.0, -611.5}) {
      double phase = 2 * std::numbers::pi * bin * j / 4096;
      i += 0.01 * std::cos(phase);
      q += 0.01 * std::sin(phase);
    }
    s[2 * j] = float(i) + noise(random);
    s[2 * j + 1] = float(q) + noise(random);
  }
  return s;
}

void BM_LineOurs(benchmark::State &state) {
  const char enable1600 = state.range(0) == 2048 ? '0' : '1';
  std::vector<float> samples = Scene();
  uint8_t line[FFT_LINE_MAX];
  for (auto _ : state) {
    SpectrumLine(samples.data(), enable1600, line);
    benchmark::DoNotOptimize(line);
  }
}

void BM_FftwPlusDb(benchmark::State &state) {
  const int n = int(state.range(0));
  std::vector<float> samples = Scene();
  fftw_complex *in = fftw_alloc_complex(size_t(n)), *out = fftw_alloc_complex(size_t(n));
  fftw_plan plan = fftw_plan_dft_1d(n, in, out, FFTW_FORWARD, FFTW_MEASURE);
  for (int j = 0; j < n; j++) {
    in[j][0] = samples[2 * j];
    in[j][1] = samples[2 * j + 1];
  }
  std::vector<float> db(static_cast<size_t>(n));
  const double scale = 2.0 / n;
  for (auto _ : state) {
    fftw_execute(plan);
    for (int k = 0; k < n; k++)
      db[static_cast<size_t>(k)] = float(20 * std::log10(std::hypot(out[k][0], out[k][1]) * scale));
    benchmark::DoNotOptimize(db.data());
  }
  fftw_destroy_plan(plan);
  fftw_free(in);
  fftw_free(out);
}

BENCHMARK(BM_FftwPlusDb)->Arg(2048)->Arg(4096)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LineOurs)->Arg(2048)->Arg(4096)->Unit(benchmark::kMicrosecond);
}  // namespace

int main(int argc, char **argv) {
  RatioReporter reporter("FFT library plan + dB loop",
                         {{"2048-point line", "BM_LineOurs/2048", "BM_FftwPlusDb/2048"},
                          {"4096-point line", "BM_LineOurs/4096", "BM_FftwPlusDb/4096"}});
  return RunWithRatios(argc, argv, reporter);
}

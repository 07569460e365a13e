// The simulated amplifier's yardstick for the auto-tune: the best SWR over
// every tuner word, and one model evaluation as the search would use it.
#include <benchmark/benchmark.h>

#include "sim/amplifier/amp_model.h"

static void BM_FindBestTune(benchmark::State &state) {
  TunerModel tuner;
  for (auto _ : state) benchmark::DoNotOptimize(tuner.FindBestTune({25, 30}, 7.1e6));
}
BENCHMARK(BM_FindBestTune)->Unit(benchmark::kMillisecond);

static void BM_SwrOfOneWord(benchmark::State &state) {
  AmpModel model;
  model.SetRf({true, 7100000, 5});
  model.SetLoad(0, {25, 30});
  uint32_t word = EncodeTunerWord({21, 67, TunerNetwork::A});
  for (auto _ : state) benchmark::DoNotOptimize(model.Swr(word));
}
BENCHMARK(BM_SwrOfOneWord);

static void BM_StatusReading(benchmark::State &state) {
  AmpModel model;
  model.SetRf({true, 7100000, 5});
  model.Controls().bypass = false;
  for (auto _ : state) {
    model.Advance(0.02);
    benchmark::DoNotOptimize(model.Readings());
  }
}
BENCHMARK(BM_StatusReading);

BENCHMARK_MAIN();

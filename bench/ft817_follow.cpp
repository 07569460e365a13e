// How long after the FT-817 changes frequency the poller has it in catFreq:
// the simulated rig on a pseudo-terminal at 38400 baud 8N2, bytes paced as
// on the line, the product's poller thread unchanged.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "core/works.h"
#include "platform/paths.h"
#include "settings/setup_record.h"
#include "sim/ft817/ft817.h"
#include "sim/world/sandbox.h"
#include "sim/world/scenario.h"
#include "transceiver/cat_serial.h"

namespace {
void Apply(SimDevice &rig, const std::string &text) {
  std::vector<ScenarioEvent> events;
  std::string error;
  if (ParseScenario("0 " + text, events, error)) rig.Apply(events[0], error);
}

void BM_Ft817FrequencyToCatFreq(benchmark::State &state) {
  char dir[] = "/tmp/kestra-bench-XXXXXX";
  std::string root = mkdtemp(dir);
  std::string error;
  CreateSandbox(root, error);
  SetPaths(PathsUnder(root));
  World world;
  Ft817Sim rig(SimContext{root, &world, true, "ft817"});
  rig.Start(error);
  auto setup = std::make_unique<SetupRecord>();
  auto works = std::make_unique<Works>();
  works->cfg.setup = setup.get();
  initSetup(works.get());
  works->core.running = 1;
  std::thread poller(CatSerial, works.get());

  uint32_t hz = 14000000;
  double worst = 0;
  for (auto _ : state) {
    hz += 1000;
    auto start = std::chrono::steady_clock::now();
    Apply(rig, "ft817 freq " + std::to_string(hz));
    while (works->trx.catFreq != int32_t(hz))
      std::this_thread::sleep_for(std::chrono::microseconds(50));
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(seconds);
    worst = std::max(worst, seconds);
  }
  state.counters["worst_ms"] = worst * 1000;
  WriteSetupFlag(setup->catSerialRun, '0');
  poller.join();
  rig.Stop();
  std::filesystem::remove_all(root);
}
BENCHMARK(BM_Ft817FrequencyToCatFreq)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(100);
}  // namespace

BENCHMARK_MAIN();

// The front panel's timing on the real clock, against the simulated register
// block and controller: one byte exchange (about 10.2 ms: 8 × 600 µs out,
// 600 µs turn-around, 12 × 400 µs in), one idle pass (about 2 ms) and the
// slot between exchanges (about 0.4 s).
#include "input/front_panel.h"

#include <benchmark/benchmark.h>

#include <chrono>

#include "core/log.h"
#include "core/works.h"
#include "input/panel_link.h"
#include "sim/panel/gpio_model.h"

namespace {
struct Panel {
  Panel() {
    UseSimulatedGpio(&model);
    works->core.running = 1;
    GpioSetUp(works.get(), ctx);
  }
  ~Panel() { UseSimulatedGpio(nullptr); }
  size_t Received() {
    size_t n = 0;
    model.WithController([&](PanelController &c) { n = c.Commands().size(); });
    return n;
  }
  LogCapture quiet;
  GpioModel model;
  std::unique_ptr<Works> works = std::make_unique<Works>();
  GpioContext ctx;
};

double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_PanelExchange(benchmark::State &state) {
  Panel panel;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(ExchangePanelByte(panel.ctx.lines, 0xD3));
    state.SetIterationTime(Since(start));
  }
}
BENCHMARK(BM_PanelExchange)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);

void BM_PanelIdlePass(benchmark::State &state) {
  Panel panel;
  panel.works->input.panelLastCmd = PANEL_LINK_IDLE;
  panel.works->input.panelCountdown = 1000000;  // no exchange during the run
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    GpioPass(panel.works.get(), panel.ctx);
    state.SetIterationTime(Since(start));
  }
}
BENCHMARK(BM_PanelIdlePass)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(500);

// From one exchange to the next, passes and all.
void BM_PanelSlot(benchmark::State &state) {
  Panel panel;
  while (panel.Received() < 2) GpioPass(panel.works.get(), panel.ctx);
  panel.works->input.panelRotIdx = 0;
  for (auto _ : state) {
    size_t before = panel.Received();
    auto start = std::chrono::steady_clock::now();
    while (panel.Received() == before) GpioPass(panel.works.get(), panel.ctx);
    state.SetIterationTime(Since(start));
    if (panel.works->input.panelRotIdx == 4)
      panel.works->input.panelRotIdx = 0;  // skip the empty slot
  }
}
BENCHMARK(BM_PanelSlot)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(8);
}  // namespace

BENCHMARK_MAIN();

// The amplifier link against the simulated amplifier: status polls per
// second, and the time from queuing a command to the decoding of its reply,
// with the line paced at 115200 baud and without pacing. The poll rate is
// compared with its floor: the wire time of the idle cycle ("ST;" and
// "FM;" with their replies) plus the documented pauses after each reply.
#include "amplifier/link.h"

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "amplifier/cmd_queue.h"
#include "amplifier/commands.h"
#include "core/works.h"
#include "platform/paths.h"
#include "settings/calibration.h"
#include "settings/setup_record.h"
#include "sim/amplifier/amp_device.h"
#include "sim/world/factory_tables.h"
#include "sim/world/sandbox.h"

namespace {
constexpr double BYTE_SECONDS = 10.0 / 115200;  // 8N1
// The idle cycle: "4dST;" and its 39-byte reply, "6cFM;" and its 17-byte reply.
constexpr int IDLE_CYCLE_BYTES = 5 + 39 + 5 + 17;
constexpr double IDLE_CYCLE_PAUSES = (PAUSE_AFTER_STATUS_MS + PAUSE_AFTER_REPLY_MS) / 1000.0;

// The link thread of one unit talking to one simulated amplifier.
class Bench {
 public:
  explicit Bench(bool pacing) {
    char dir[] = "/tmp/kestra-bench-XXXXXX";
    root_ = mkdtemp(dir);
    std::string error;
    CreateSandbox(root_, error);
    SetPaths(PathsUnder(root_));
    SeedFactoryAmplifierTables(root_);
    amp_ = std::make_unique<AmpDevice>(SimContext{root_, &world_, pacing, ""});
    amp_->Start(error);
    works_->cfg.setup = &setup_;
    initSetup(works_.get());
    ReadConfigFile(works_.get());
    works_->core.running = 1;
    link_ = std::thread(Linear, works_.get());
  }
  ~Bench() {
    works_->core.running = 0;
    link_.join();
    amp_->Stop();
    std::filesystem::remove_all(root_);
  }
  Works *W() { return works_.get(); }
  size_t Polls() {
    size_t n = 0;
    for (const ReceivedFrame &f : amp_->Received()) n += f.text == "ST;";
    return n;
  }

 private:
  std::string root_;
  World world_;
  std::unique_ptr<AmpDevice> amp_;
  SetupRecord setup_{};
  std::unique_ptr<Works> works_ = std::make_unique<Works>();
  std::thread link_;
};

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void BM_StatusPolls(benchmark::State &state) {
  bool pacing = state.range(0) != 0;
  Bench bench(pacing);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // past the first exchanges
  double polls = 0, seconds = 0;
  for (auto _ : state) {
    size_t before = bench.Polls();
    auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    double s = Seconds(start);
    polls += double(bench.Polls() - before);
    seconds += s;
    state.SetIterationTime(s);
  }
  double wire = pacing ? IDLE_CYCLE_BYTES * BYTE_SECONDS : 0;
  state.counters["polls_per_s"] = polls / seconds;
  state.counters["floor_polls_per_s"] = 1 / (IDLE_CYCLE_PAUSES + wire);
  state.counters["cycle_ms"] = 1000 * seconds / polls;
  state.counters["floor_cycle_ms"] = 1000 * (IDLE_CYCLE_PAUSES + wire);
}
BENCHMARK(BM_StatusPolls)
    ->ArgName("pacing")
    ->Arg(1)
    ->Arg(0)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// A command queued at a random point of the idle cycle goes out after the
// next status reply; its reply ("AB0;" / "AB1;") sets the bypass flag.
void BM_CommandToReply(benchmark::State &state) {
  Bench bench(state.range(0) != 0);
  Works *w = bench.W();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  double worst = 0, best = 1e9;
  uint8_t bypass = 1;
  for (auto _ : state) {
    bypass = !bypass;
    auto start = std::chrono::steady_clock::now();
    IncPNTIn_CMDLinear(bypass ? CMD_AB1 : CMD_AB0, w);
    while (w->link.ampBypass != bypass) std::this_thread::sleep_for(std::chrono::microseconds(50));
    double s = Seconds(start);
    state.SetIterationTime(s);
    worst = std::max(worst, s);
    best = std::min(best, s);
    // Off the cycle's rhythm, so the queuing moments spread over it.
    std::this_thread::sleep_for(std::chrono::microseconds(7919 * (1 + state.iterations() % 5)));
  }
  state.counters["best_ms"] = best * 1000;
  state.counters["worst_ms"] = worst * 1000;
}
BENCHMARK(BM_CommandToReply)
    ->ArgName("pacing")
    ->Arg(1)
    ->Arg(0)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(100);
}  // namespace

BENCHMARK_MAIN();

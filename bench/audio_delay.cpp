// Audio delay from one unit's capture to the other's playback: two kestra-sim
// units joined over loopback, the client's sound device hearing a beep at
// each whole second of the monotonic clock, the server's device timing when
// each beep is played. Raw and Opus; the delay early in the link and late
// in it (20 s on) shows whether it grows.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <regex>
#include <thread>
#include <vector>

#include "tests/support/sim_process.h"
#include "tests/support/ws_peer.h"

namespace {
constexpr double RUN_SECONDS = 50;

std::string Unit(const std::string &name, const std::string &setup, const std::string &scenario) {
  std::string root = FreshSimRoot(name);
  std::filesystem::create_directories(root + "/opt/set");
  std::ofstream(root + "/opt/set/setup.txt") << setup;
  std::ofstream(root + "/scenario.txt") << scenario;
  return root;
}

SimRun Run(const std::string &root) {
  return RunKestraSim(
      KESTRA_SIM_BINARY,
      {"--root", root, "--headless", "--quick-start", "--duration", std::to_string(RUN_SECONDS),
       "--scenario", root + "/scenario.txt", "--report", root + "/report.json"},
      RUN_SECONDS + 60);
}

std::vector<double> BeepDelays(const std::string &report) {
  std::vector<double> delays;
  std::smatch m;
  if (!std::regex_search(report, m, std::regex("\"beepDelaysMs\":\\[([^\\]]*)\\]"))) return delays;
  std::string list = m[1];
  for (size_t at = 0; at < list.size();) {
    size_t end = list.find(',', at);
    delays.push_back(std::stod(list.substr(at, end - at)));
    at = end == std::string::npos ? list.size() : end + 1;
  }
  return delays;
}

double Mean(std::vector<double>::const_iterator from, std::vector<double>::const_iterator to) {
  return from == to ? 0 : std::accumulate(from, to, 0.0) / double(to - from);
}

void BM_CaptureToPlayback(benchmark::State &state) {
  const std::string audio =
      "EnableRead: 1\nEnableWrite: 1\nInChannels: 1\nMultiplier: 2\n"
      "AudioCompress: " +
      std::to_string(state.range(0)) + "\n";
  for (auto _ : state) {
    std::string port = "TcpPort: " + std::to_string(FreeLoopbackPort()) + "\n";
    std::string server = Unit("delay-server", "WebSocket: 1\n" + port + audio, "");
    std::string client = Unit("delay-client", "WebSocket: 2\nServer: 127.0.0.1\n" + port + audio,
                              "0 audio tone 1000 -20 200\n");
    std::thread serverRun([&] { Run(server); });
    Run(client);
    serverRun.join();
    std::ifstream in(server + "/report.json");
    std::string report((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<double> d = BeepDelays(report);
    if (d.size() >= 25) {
      std::vector<double> sorted = d;
      std::sort(sorted.begin(), sorted.end());
      state.counters["beeps"] = double(d.size());
      state.counters["min_ms"] = sorted.front();
      state.counters["median_ms"] = sorted[sorted.size() / 2];
      state.counters["max_ms"] = sorted.back();
      state.counters["first5_ms"] = Mean(d.begin(), d.begin() + 5);
      state.counters["after20s_ms"] = Mean(d.begin() + 20, d.begin() + 25);
      state.counters["last5_ms"] = Mean(d.end() - 5, d.end());
    } else {
      state.SkipWithError("too few beeps were played");
    }
    std::filesystem::remove_all(server);
    std::filesystem::remove_all(client);
  }
}

BENCHMARK(BM_CaptureToPlayback)->Arg(0)->Arg(32000)->Unit(benchmark::kSecond)->Iterations(1);
}  // namespace

BENCHMARK_MAIN();

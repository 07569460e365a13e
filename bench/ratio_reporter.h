#pragma once
// Console output of a benchmark run, then the time ratio of each pair
// (ours / baseline) measured in the same run: the fastest repetition of
// each, as the machine may be shared.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  struct Pair {
    std::string what, ours, baseline;  // benchmark names with their arguments
  };
  RatioReporter(std::string baselineName, std::vector<Pair> pairs)
      : baselineName_(std::move(baselineName)), pairs_(std::move(pairs)) {}

  void ReportRuns(const std::vector<Run> &runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run &run : runs) {
      if (run.run_type != Run::RT_Iteration) continue;
      std::string name = run.run_name.function_name;
      if (!run.run_name.args.empty()) name += "/" + run.run_name.args;
      auto [it, fresh] = times_.emplace(name, run.GetAdjustedCPUTime());
      if (!fresh) it->second = std::min(it->second, run.GetAdjustedCPUTime());
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    for (const Pair &p : pairs_) {
      if (!times_.count(p.ours) || !times_.count(p.baseline) || times_[p.baseline] <= 0) continue;
      std::printf("%s time ratio ours / %s: %.2f\n", p.what.c_str(), baselineName_.c_str(),
                  times_[p.ours] / times_[p.baseline]);
    }
  }

 private:
  std::string baselineName_;
  std::vector<Pair> pairs_;
  std::map<std::string, double> times_;
};

// main() of a benchmark binary that prints these ratios at the end.
inline int RunWithRatios(int argc, char **argv, RatioReporter &reporter) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

#include "sim/world/await.h"

#include "core/clock.h"

namespace {
constexpr int POLL_MS = 20;
}

bool AwaitArgs(const ScenarioEvent &ev, std::string &text, double &seconds, std::string &error) {
  size_t words = ev.args.size();
  if (words >= 3 && ev.args[words - 2] == "within") {
    if (!ArgDouble(ev, words - 1, seconds, error)) return false;
    words -= 2;
  }
  if (words == 0) {
    error = "'" + ev.text + "': nothing to wait for";
    return false;
  }
  text.clear();
  for (size_t i = 0; i < words; i++) text += (i ? " " : "") + ev.args[i];
  return true;
}

bool AwaitUntil(const std::function<bool()> &done, double seconds,
                const std::atomic<bool> &interrupted) {
  int64_t end = MonotonicMicros() + int64_t(seconds * 1e6);
  while (!done()) {
    if (interrupted || MonotonicMicros() > end) return false;
    SleepMillis(POLL_MS);
  }
  return true;
}

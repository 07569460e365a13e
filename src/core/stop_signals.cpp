#include "core/stop_signals.h"

#include <signal.h>

namespace {
// Both are lock-free, so the handler's loads and stores are async-signal-safe.
std::atomic<std::atomic<int32_t> *> watched{nullptr};
std::atomic<bool> stopRequested{false};
static_assert(std::atomic<std::atomic<int32_t> *>::is_always_lock_free);
static_assert(std::atomic<int32_t>::is_always_lock_free);
static_assert(std::atomic<bool>::is_always_lock_free);

void OnStopSignal(int) {
  stopRequested = true;
  if (std::atomic<int32_t> *running = watched.load()) *running = 0;
}
}  // namespace

void StopOnSignals() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  // Interrupted system calls are restarted: the threads see the cleared flag
  // at their next check, as with any other stop.
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

void WatchRunFlag(std::atomic<int32_t> *running) {
  watched = running;
  // Checked after publishing the flag: a signal before the store is seen
  // here, one after it clears the flag itself.
  if (running && stopRequested) *running = 0;
}

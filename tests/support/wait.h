#pragma once
// Waits in real time for something another thread brings about.
#include <chrono>
#include <thread>

// True as soon as `done()` holds; false after `seconds` (a generous bound,
// not a timing requirement). A costly check may be made less often.
template <typename Pred>
bool WaitUntil(Pred done, double seconds = 10, int pollMs = 2) {
  auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(pollMs));
  }
  return true;
}

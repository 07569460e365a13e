#pragma once
// Actions a device carries out later on its own thread: a key let go after
// a press, the repeats of a held key, a step taken every so often.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

class TimedActions {
 public:
  ~TimedActions() { Stop(); }
  void Start();
  // Ends the thread; actions not yet due are dropped.
  void Stop();
  // Runs `action` `seconds` from now (in the order given when due together).
  void After(double seconds, std::function<void()> action);
  // Runs `action` every `seconds` from now until Stop.
  void Every(double seconds, std::function<void()> action);

 private:
  using Clock = std::chrono::steady_clock;
  void Run();
  bool Stopped();
  std::mutex mutex_;
  std::condition_variable wake_;
  std::multimap<Clock::time_point, std::function<void()>> due_;
  bool stop_ = true;
  std::thread thread_;
};

#include "sim/world/timed_actions.h"

void TimedActions::Start() {
  Stop();
  std::lock_guard<std::mutex> lock(mutex_);
  stop_ = false;
  due_.clear();  // a repeat that re-armed itself while the thread stopped
  thread_ = std::thread(&TimedActions::Run, this);
}

void TimedActions::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
    due_.clear();
    wake_.notify_all();
  }
  if (thread_.joinable()) thread_.join();
}

void TimedActions::After(double seconds, std::function<void()> action) {
  auto at = Clock::now() +
            std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  std::lock_guard<std::mutex> lock(mutex_);
  due_.emplace(at, std::move(action));
  wake_.notify_all();
}

void TimedActions::Every(double seconds, std::function<void()> action) {
  After(seconds, [this, seconds, action] {
    action();
    if (!Stopped()) Every(seconds, action);
  });
}

bool TimedActions::Stopped() {
  std::lock_guard<std::mutex> lock(mutex_);
  return stop_;
}

void TimedActions::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stop_) {
    if (due_.empty()) {
      wake_.wait(lock);
      continue;
    }
    auto first = due_.begin();
    if (Clock::now() < first->first) {
      Clock::time_point at = first->first;  // a Stop while waiting drops the entry
      wake_.wait_until(lock, at);
      continue;
    }
    std::function<void()> action = std::move(first->second);
    due_.erase(first);
    lock.unlock();
    action();
    lock.lock();
  }
}

#pragma once
// The unit's displayed screen for the page. While someone watches, the screen
// is copied each time the unit shows one (and at least once a second),
// compared with the frame before, and only a changed screen is encoded, as a
// JPEG by the unit's own codec, and handed to those waiting for it.
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "sim/controller/screen_texts.h"
#include "sim/world/timed_actions.h"

struct Works;

struct ScreenFrame {
  uint64_t number = 0;  // 0: none yet; every changed screen the next number
  std::shared_ptr<const std::vector<uint8_t>> jpeg;
  std::vector<ScreenText> texts;  // those of the same screen
};

struct StreamCounters {
  uint64_t taken = 0;        // screens copied and compared
  uint64_t encoded = 0;      // of them, changed ones encoded
  int64_t encodeMicros = 0;  // spent encoding, in all
  size_t lastBytes = 0;      // size of the newest frame
};

// The screen in the frame buffer's own layout (blue, green, red, unused) as
// a JPEG; false when the encoder fails.
bool EncodeScreenJpeg(const uint8_t *bgrx, int width, int height, std::vector<uint8_t> &jpeg);

class ScreenStream {
 public:
  ScreenStream() = default;
  ~ScreenStream() { Stop(); }
  ScreenStream(const ScreenStream &) = delete;
  ScreenStream &operator=(const ScreenStream &) = delete;

  void Start();
  void Stop();  // wakes every waiter
  // The running unit's record; null before it goes away.
  void Attach(Works *works);

  // A frame other than number `have`, waiting up to `seconds` for one;
  // false when none came. Asking counts as watching.
  bool NextFrame(uint64_t have, double seconds, ScreenFrame &frame);
  ScreenFrame Latest() const;
  StreamCounters Counters() const;

  // Copies the screen now and publishes it when it changed; true then. The
  // thread's step, called directly by tests.
  bool TakeScreen();

 private:
  void Tick();  // on the ticks' thread
  bool Watched() const;
  bool CopyScreen(int &width, int &height);  // into raw_; false without a screen
  void Publish(int width, int height);

  std::mutex attachMutex_;  // held while the record is read
  Works *works_ = nullptr;
  std::vector<uint8_t> raw_, last_;  // rows of the screen as displayed
  std::vector<ScreenText> rawTexts_;

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  ScreenFrame latest_;
  StreamCounters counters_;
  int64_t wantedAt_ = INT64_MIN / 2;  // monotonic µs of the last request
  bool stop_ = false;

  TimedActions ticks_;
  bool named_ = false;      // the ticks' thread, for measurements
  uint64_t seenCount_ = 0;  // screens shown when the last was taken
  int64_t takenAt_ = 0;
};

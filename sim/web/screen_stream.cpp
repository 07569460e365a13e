#include "sim/web/screen_stream.h"

#include <pthread.h>

#include <chrono>
#include <cstring>

#include "codec/jpeg/jpeg_encoder.h"
#include "core/clock.h"
#include "core/works.h"
#include "display/frame_buffer.h"

namespace {
constexpr int64_t TICK_MICROS = 10000;        // how soon a shown screen is seen
constexpr int64_t FALLBACK_MICROS = 1000000;  // taken anyway this often
constexpr int64_t WATCHED_MICROS = 3000000;   // a request keeps the stream going this long
constexpr int JPEG_QUALITY = 85;
constexpr int JPEG_SUBSAMPLING = 1;  // full-resolution colour: the captions stay sharp

void ToRgb(const uint8_t *bgrx, size_t pixels, uint8_t *rgb) {
  for (size_t i = 0; i < pixels; i++, bgrx += 4, rgb += 3) {
    rgb[0] = bgrx[2];
    rgb[1] = bgrx[1];
    rgb[2] = bgrx[0];
  }
}
}  // namespace

bool EncodeScreenJpeg(const uint8_t *bgrx, int width, int height, std::vector<uint8_t> &jpeg) {
  size_t pixels = size_t(width) * size_t(height);
  std::vector<uint8_t> rgb(pixels * 3);
  ToRgb(bgrx, pixels, rgb.data());
  jpegenc::Params params;
  params.quality = JPEG_QUALITY;
  params.subsampling = JPEG_SUBSAMPLING;
  // A JPEG of a screen stays well below its raw size; the encoder refuses
  // rather than overrun when it does not.
  jpeg.resize(rgb.size() + 4096);
  int size = int(jpeg.size());
  if (!jpegenc::encodeToMemory(jpeg.data(), size, width, height, 3, rgb.data(), params)) {
    jpeg.clear();
    return false;
  }
  jpeg.resize(size_t(size));
  return true;
}

void ScreenStream::Start() {
  Stop();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = false;
  }
  ticks_.Start();
  ticks_.Every(TICK_MICROS / 1e6, [this] { Tick(); });
}

void ScreenStream::Stop() {
  ticks_.Stop();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
}

void ScreenStream::Attach(Works *works) {
  std::lock_guard<std::mutex> lock(attachMutex_);
  works_ = works;
}

bool ScreenStream::Watched() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return MonotonicMicros() - wantedAt_ < WATCHED_MICROS;
}

void ScreenStream::Tick() {
  if (!named_) named_ = pthread_setname_np(pthread_self(), "page-stream") == 0;
  uint64_t count = ShownScreenCount();
  int64_t now = MonotonicMicros();
  if (!Watched() || (count == seenCount_ && now - takenAt_ < FALLBACK_MICROS)) return;
  seenCount_ = count;
  takenAt_ = now;
  TakeScreen();
}

bool ScreenStream::CopyScreen(int &width, int &height) {
  std::lock_guard<std::mutex> attached(attachMutex_);
  if (!works_) return false;
  // The draw lock keeps a half-composed screen out, and pairs the texts
  // with the pixels they belong to.
  std::lock_guard<std::recursive_mutex> draw(works_->display.drawMutex);
  const FrameBuffer *fb = works_->display.fb;
  if (!fb || fb->pixelSize != 4) return false;
  width = fb->width;
  height = fb->height;
  size_t rowBytes = size_t(width) * 4;
  raw_.resize(rowBytes * size_t(height));
  for (int y = 0; y < height; y++)
    memcpy(raw_.data() + size_t(y) * rowBytes, fb->screen + size_t(y) * fb->lineSize, rowBytes);
  rawTexts_ = ShownScreenTexts();
  return true;
}

bool ScreenStream::TakeScreen() {
  int width = 0, height = 0;
  if (!CopyScreen(width, height)) return false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    counters_.taken++;
  }
  if (raw_ == last_) return false;
  last_.swap(raw_);
  Publish(width, height);
  return true;
}

void ScreenStream::Publish(int width, int height) {
  int64_t start = MonotonicMicros();
  auto jpeg = std::make_shared<std::vector<uint8_t>>();
  if (!EncodeScreenJpeg(last_.data(), width, height, *jpeg)) return;
  int64_t spent = MonotonicMicros() - start;
  std::lock_guard<std::mutex> lock(mutex_);
  latest_.number++;
  latest_.jpeg = jpeg;
  latest_.texts = rawTexts_;
  counters_.encoded++;
  counters_.encodeMicros += spent;
  counters_.lastBytes = jpeg->size();
  wake_.notify_all();
}

bool ScreenStream::NextFrame(uint64_t have, double seconds, ScreenFrame &frame) {
  std::unique_lock<std::mutex> lock(mutex_);
  wantedAt_ = MonotonicMicros();
  auto ready = [&] { return stop_ || (latest_.number != 0 && latest_.number != have); };
  wake_.wait_for(lock, std::chrono::duration<double>(seconds), ready);
  if (stop_ || latest_.number == 0 || latest_.number == have) return false;
  frame = latest_;
  return true;
}

ScreenFrame ScreenStream::Latest() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return latest_;
}

StreamCounters ScreenStream::Counters() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return counters_;
}

#include "sim/receiver/receiver_model.h"

#include <libusb-1.0/libusb.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "transceiver/usb_stream.h"

namespace {
constexpr double FULL_SCALE = 2147483647.0;
const char SERIAL[] = "KRV-SIM-000000000000000000000001";  // 32 characters

double Amplitude(double dbfs) { return FULL_SCALE * std::pow(10.0, dbfs / 20); }

int32_t Clip(double v) { return static_cast<int32_t>(std::clamp(v, -FULL_SCALE, FULL_SCALE)); }

void PutLE32(uint8_t *p, int32_t v) {
  auto u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; i++) p[i] = static_cast<uint8_t>(u >> (8 * i));
}

int Answer(unsigned char *data, uint16_t length, const void *bytes, size_t size) {
  size_t n = std::min<size_t>(length, size);
  memcpy(data, bytes, n);
  return static_cast<int>(n);
}

int AnswerFloat(unsigned char *data, uint16_t length, float value) {
  return Answer(data, length, &value, sizeof value);
}
}  // namespace

void ReceiverModel::SetTone(double offsetHz, double dbfs) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (ReceiverTone &t : tones_) {
    if (t.offsetHz == offsetHz) {
      t.dbfs = dbfs;
      return;
    }
  }
  tones_.push_back({offsetHz, dbfs});
}

void ReceiverModel::SetNoise(double dbfs) {
  std::lock_guard<std::mutex> lock(mutex_);
  noiseDbfs_ = dbfs;
}

void ReceiverModel::Silence() {
  std::lock_guard<std::mutex> lock(mutex_);
  tones_.clear();
  noiseDbfs_ = -300;
}

std::vector<ReceiverTone> ReceiverModel::Tones() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return tones_;
}

bool ReceiverModel::Streaming() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return streaming_;
}

int ReceiverModel::Control(uint8_t request, uint16_t value, uint16_t index, unsigned char *data,
                           uint16_t length) {
  std::lock_guard<std::mutex> lock(mutex_);
  const unsigned char driverVersion[2] = {2, 7}, hwVersion[2] = {1, 3};
  if (request == REQ_DRIVER_VERSION) return Answer(data, length, driverVersion, 2);
  if (request == REQ_READ && index == READ_INDEX) {
    switch (value) {
      case READ_HW_VERSION:
        return Answer(data, length, hwVersion, 2);
      case READ_SERIAL:
        return Answer(data, length, SERIAL, RECEIVER_SERIAL_BYTES);
      case READ_GLOBAL_OFFSET:
        return AnswerFloat(data, length, GLOBAL_OFFSET);
      case READ_LP_OFFSET:
        return AnswerFloat(data, length, LP_OFFSET);
      case READ_ATT_OFFSET:
        return AnswerFloat(data, length, ATT_OFFSET);
    }
  }
  if (request == REQ_FIFO && length >= 1) {
    if (index == FIFO_INIT) return Answer(data, length, &request, 1);
    if (index == FIFO_SYN) {
      streaming_ = value == 1;
      const unsigned char reply = streaming_ ? SYN_REPLY : REQ_FIFO;
      return Answer(data, length, &reply, 1);
    }
  }
  return LIBUSB_ERROR_PIPE;  // the device stalls a request it does not know
}

void ReceiverModel::FillWindow(uint64_t window, uint8_t *out) {
  std::lock_guard<std::mutex> lock(mutex_);
  const double first = double(window) * PAIRS_PER_WINDOW;
  std::normal_distribution<double> noise(0.0, Amplitude(noiseDbfs_) / std::sqrt(2.0));
  const bool noisy = noiseDbfs_ > -200;
  for (int n = 0; n < PAIRS_PER_WINDOW; n++) {
    double i = 0, q = 0;
    for (const ReceiverTone &t : tones_) {
      // The phase from the sample count modulo the tone's period keeps it
      // exact over long runs.
      double cycles = std::fmod(t.offsetHz * (first + n) / SAMPLE_RATE, 1.0);
      double a = Amplitude(t.dbfs);
      i += a * std::cos(2 * std::numbers::pi * cycles);
      q += a * std::sin(2 * std::numbers::pi * cycles);
    }
    if (noisy) {
      i += noise(random_);
      q += noise(random_);
    }
    PutLE32(out + 8 * n, Clip(i));
    PutLE32(out + 8 * n + 4, Clip(q));
  }
}

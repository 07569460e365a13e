#pragma once
// The companion receiver as its USB interface shows it: vendor requests
// (versions, serial, calibration offsets, FIFO and SYN commands) and the IQ
// stream, 32-bit little-endian I/Q pairs at 192 kHz of a scene of complex
// tones and noise. No I/O here: the bus (usb_bus.h) carries it.
#include <cstdint>
#include <mutex>
#include <random>
#include <vector>

struct ReceiverTone {
  double offsetHz;  // from the receiver's centre; negative below it
  double dbfs;      // amplitude relative to full scale (2^31)
};

class ReceiverModel {
 public:
  static constexpr double SAMPLE_RATE = 192000;
  static constexpr int PAIRS_PER_WINDOW = 4096;  // one 32768-byte transfer
  static constexpr float GLOBAL_OFFSET = 0.0f, LP_OFFSET = 3.0f, ATT_OFFSET = 10.0f;

  // Adds a tone, or sets the level of the one already at that offset.
  void SetTone(double offsetHz, double dbfs);
  void SetNoise(double dbfs);  // below −200: none
  void Silence();              // no tones, no noise

  // A vendor request, device to host: the bytes answered or a libusb error.
  int Control(uint8_t request, uint16_t value, uint16_t index, unsigned char *data,
              uint16_t length);
  bool Streaming() const;  // SYN enabled and the FIFO not stopped

  // The I/Q bytes of window `window` (PAIRS_PER_WINDOW pairs) into `out`.
  void FillWindow(uint64_t window, uint8_t *out);
  std::vector<ReceiverTone> Tones() const;

 private:
  mutable std::mutex mutex_;
  std::vector<ReceiverTone> tones_;
  double noiseDbfs_ = -300;
  bool streaming_ = false;
  std::mt19937 random_{20};
};

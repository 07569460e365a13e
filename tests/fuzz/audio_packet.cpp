// A peer's "SO" payload as playback takes it: raw PCM and an Opus packet,
// into a playback buffer with guard samples on both sides. The first byte
// chooses the unit's period.
#include <opus/opus.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "remote/audio_period.h"

namespace {
constexpr int16_t GUARD = 0x5A5A;
constexpr size_t GUARD_SAMPLES = 64;

void CheckInto(const uint8_t *data, size_t size, OpusDecoder *decoder, int period) {
  std::vector<int16_t> buffer(GUARD_SAMPLES + 2 * AUDIO_PLAYBACK_FRAMES_MAX + GUARD_SAMPLES, GUARD);
  int frames = PacketToFrames(data, size, decoder, period, buffer.data() + GUARD_SAMPLES);
  if (frames < 0 || frames > AUDIO_PLAYBACK_FRAMES_MAX) __builtin_trap();
  for (size_t i = 0; i < GUARD_SAMPLES; i++)
    if (buffer[i] != GUARD || buffer[buffer.size() - 1 - i] != GUARD) __builtin_trap();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static OpusDecoder *decoder = [] {
    int err = 0;
    return opus_decoder_create(48000, 2, &err);
  }();
  if (size < 1) return 0;
  int period = ValidAudioPeriod(data[0] * 240 / 16, true);
  CheckInto(data + 1, size - 1, nullptr, period);
  CheckInto(data + 1, size - 1, decoder, period);
  return 0;
}

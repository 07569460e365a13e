#include "remote/audio_period.h"

#include <opus/opus.h>

#include <algorithm>
#include <cstring>

namespace {
constexpr int DEFAULT_PERIOD = 240;
constexpr int OPUS_FRAME_SIZES[] = {120, 240, 480, 960, 1920, 2880};
}  // namespace

int ValidAudioPeriod(int requested, bool compressed) {
  if (requested < 1) return DEFAULT_PERIOD;
  int period = std::min(requested, AUDIO_CAPTURE_FRAMES_MAX);
  if (!compressed) return period;
  int legal = OPUS_FRAME_SIZES[0];
  for (int size : OPUS_FRAME_SIZES)
    if (size <= period) legal = size;
  return legal;
}

void WidenMono(int16_t *samples, int frames) {
  for (int i = frames - 1; i >= 0; i--) samples[2 * i] = samples[2 * i + 1] = samples[i];
}

int PacketToFrames(const uint8_t *packet, size_t n, OpusDecoder *decoder, int period,
                   int16_t *out) {
  if (!decoder) {
    size_t frames = std::min(n / AUDIO_BYTES_PER_FRAME, size_t(AUDIO_PLAYBACK_FRAMES_MAX));
    memcpy(out, packet, frames * AUDIO_BYTES_PER_FRAME);
    return int(frames);
  }
  int frames = n > 0x7FFFFFFF
                   ? OPUS_INVALID_PACKET
                   : opus_decode(decoder, packet, opus_int32(n), out, AUDIO_PLAYBACK_FRAMES_MAX, 0);
  if (frames >= 0) return frames;
  period = std::clamp(period, 0, AUDIO_PLAYBACK_FRAMES_MAX);
  memset(out, 0, size_t(period) * AUDIO_BYTES_PER_FRAME);
  return period;
}

FillAction TrackPlaybackFill(PlaybackFill &fill, long available) {
  fill.free = available;
  if (fill.free1 == 0 && fill.free > 0) fill.free1 = fill.minfree = fill.free;
  if (fill.free > 0 && fill.free < fill.minfree) fill.minfree = fill.free;
  if (fill.free1 - fill.minfree <= AUDIO_FILL_LIMIT) return FillAction::Write;
  fill.minfree = fill.free1;
  return FillAction::Reset;
}

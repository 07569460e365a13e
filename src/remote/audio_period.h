#pragma once
// The arithmetic of audio periods: how many frames make a period, mono
// capture widened to stereo, received packets into playback frames, and the
// fill tracker that keeps playback latency bounded.
#include <cstddef>
#include <cstdint>

struct OpusDecoder;

constexpr int AUDIO_CAPTURE_FRAMES_MAX = 5120;  // the capture buffer, stereo frames
// The longest Opus packet lasts 120 ms: 5760 frames at 48 kHz. Playback
// takes any packet a peer may send, whatever its period.
constexpr int AUDIO_PLAYBACK_FRAMES_MAX = 5760;
constexpr int AUDIO_BYTES_PER_FRAME = 4;  // two 16-bit channels
// Queued playback beyond this (100 ms at 48 kHz) is thrown away.
constexpr long AUDIO_FILL_LIMIT = 4800;

// The period P for a requested size: at most the capture buffer, and with
// compression one of Opus's frame sizes (the largest not above the request).
// A size below one frame gives the default of 240.
int ValidAudioPeriod(int requested, bool compressed);

// Widens `frames` mono samples at the start of `samples` in place to
// interleaved stereo frames (room for 2 × frames samples).
void WidenMono(int16_t *samples, int frames);

// A received packet of `n` bytes as stereo frames in `out` (room for
// AUDIO_PLAYBACK_FRAMES_MAX frames): raw PCM when `decoder` is null (whole
// frames, as many as fit), else an Opus packet; one that does not decode
// gives `period` frames of silence. Returns the frame count.
int PacketToFrames(const uint8_t *packet, size_t n, OpusDecoder *decoder, int period, int16_t *out);

// Free space of the playback device as the receiving end follows it.
struct PlaybackFill {
  long free = 0;     // last reading
  long free1 = 0;    // first reading: the empty buffer
  long minfree = 0;  // lowest reading since the last reset
};

enum class FillAction { Write, Reset };

// Takes a reading of the device's free space and says whether the next
// period is written or the queued audio is thrown away (tracking restarts).
FillAction TrackPlaybackFill(PlaybackFill &fill, long available);

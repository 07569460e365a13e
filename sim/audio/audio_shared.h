#pragma once
// The simulated USB sound device of one sandbox, as both of its halves see
// it: the simulator (scenario verbs, report) and the ALSA plugin that the
// unit loads through the sandbox's ALSA configuration. The state is a small
// file that both map; the plugin records what it plays to two more files.
#include <atomic>
#include <cstdint>
#include <string>

constexpr uint32_t SIM_AUDIO_MAGIC = 0x4b534131;
constexpr int SIM_AUDIO_CAPTURE = 0, SIM_AUDIO_PLAYBACK = 1;
// The plugin's rhythm: it wakes its waiters this often, as a USB device
// delivers every millisecond or so.
constexpr int SIM_AUDIO_TICK_US = 2500;
// The recording keeps the first five minutes at 48 kHz; the count goes on.
constexpr long long SIM_AUDIO_RECORD_MAX_FRAMES = 48000LL * 300;

struct SimAudioShared {
  uint32_t magic;
  std::atomic<int32_t> plugged;
  // What the capture side hears: a tone, or silence when the frequency is 0.
  std::atomic<int32_t> toneMilliHz;
  std::atomic<int32_t> toneCentiDbfs;  // peak level
  // Beeps: the tone sounds only for this long from each whole second of the
  // monotonic clock (0: all the time), so that a listener can time it.
  std::atomic<int32_t> beepMs;
  std::atomic<int32_t> openFailures[2];  // opens still refused, per direction
  // What happened, for the report.
  std::atomic<int64_t> opens[2];
  std::atomic<int64_t> xruns[2];
  std::atomic<int64_t> capturedFrames;
  std::atomic<int64_t> playedFrames;
  std::atomic<int64_t> drops;  // playback stopped with frames still queued
};

// The files of a sound device, all in one directory of the sandbox.
struct SimAudioFiles {
  std::string state;  // SimAudioShared
  std::string raw;    // played frames: stereo, 16-bit little-endian
  std::string index;  // a line per run played: "<monotonic seconds> <frames> <rate>"
};
inline SimAudioFiles SimAudioFilesIn(const std::string &dir) {
  return {dir + "/audio.state", dir + "/audio-out.raw", dir + "/audio-out.idx"};
}

#pragma once
// Audio part of the remote record: the two sound devices and the playback
// buffer. The playback thread opens and closes the playback device; the
// thread that receives the peer's packets writes to it. Both take
// `playbackMutex` to use or hand over the device and the buffer, so that
// neither is released while the other thread uses it.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "remote/audio_period.h"

typedef struct _snd_pcm snd_pcm_t;

struct AudioState {
  std::atomic<int32_t> inChannels{1};  // capture channels, 1 or 2
  snd_pcm_t *capturePcm = nullptr;     // the capture thread's

  std::mutex playbackMutex;
  snd_pcm_t *playbackPcm = nullptr;  // under playbackMutex
  std::vector<int16_t> playbackBuf;  // under playbackMutex; empty when none
  PlaybackFill fill;                 // under playbackMutex; restarts with each device
  std::atomic<int32_t> playbackReady{0};
};

// 1 while the capture / playback device is open.
extern std::atomic<int32_t> status_th_leggi, status_th_scrivi;
